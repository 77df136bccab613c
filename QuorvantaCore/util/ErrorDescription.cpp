#include "QuorvantaCore/util/ErrorDescription.h"

#include <cstdio>

namespace quorvanta::core {

std::string escapeErrorPayload(std::string_view payload) {
    std::string out;
    out.reserve(payload.size() + 2);
    for (char c : payload) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    char code[12];
                    std::snprintf(code, sizeof code, "\\u{%X}", static_cast<unsigned char>(c));
                    out += code;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string describeErrorCase(std::string_view caseName, std::string_view payload) {
    std::string out(caseName);
    out += "(\"";
    out += escapeErrorPayload(payload);
    out += "\")";
    return out;
}

}  // namespace quorvanta::core
