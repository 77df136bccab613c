#include "QuorvantaCore/json/JSONText.h"

namespace quorvanta::core {
namespace {

// True when the brackets outside strings never nest deeper than maxDepth. Exact for well-formed
// JSON; text that is not well-formed is rejected by the parser anyway.
bool nestsWithin(std::string_view text, int maxDepth) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maxDepth) return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

}  // namespace

std::optional<nlohmann::json> parseJSONStrict(std::string_view text, int maxDepth) {
    if (!nestsWithin(text, maxDepth)) return std::nullopt;
    nlohmann::json value = nlohmann::json::parse(text.begin(), text.end(), nullptr,
                                                 /*allow_exceptions=*/false,
                                                 /*ignore_comments=*/false);
    if (value.is_discarded()) return std::nullopt;
    return value;
}

std::string writeJSONCompact(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string writeJSONPretty(const nlohmann::json& value) {
    return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace quorvanta::core
