// CSV text of the exports (RFC 4180): a text field written in double quotes with every quote
// inside doubled, so any byte (commas, line breaks, invalid UTF-8) may appear in it.
#pragma once

#include <string>
#include <string_view>

namespace quorvanta::core {

inline void appendCsvQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace quorvanta::core
