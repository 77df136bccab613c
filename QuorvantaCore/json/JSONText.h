// Reading and writing JSON text, the one way the local API, the MCP bridge and the command-line
// tool do it.
//
// Reading is strict (RFC 8259: no comments, no trailing commas, no NaN, strings valid UTF-8) and
// bounds the nesting depth, so untrusted input cannot make a caller that walks the value recurse
// without limit. Writing sorts object keys at every level (nlohmann's object is an ordered map,
// compared byte-wise), leaves "/" unescaped, writes non-ASCII characters as UTF-8, and replaces
// ill-formed UTF-8 with U+FFFD, so it cannot fail on a string that came from a file name.
#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::core {

// Deepest nesting of arrays and objects accepted by default; a top-level object is depth 1.
inline constexpr int kJSONMaxDepth = 64;

// The value the text holds, or none when it is not exactly one JSON value (surrounding white
// space allowed) or nests deeper than `maxDepth`.
std::optional<nlohmann::json> parseJSONStrict(std::string_view text, int maxDepth = kJSONMaxDepth);

// No white space between tokens, no line feed.
std::string writeJSONCompact(const nlohmann::json& value);

// One member or element per line, nested levels indented by two blanks, no final line feed.
std::string writeJSONPretty(const nlohmann::json& value);

}  // namespace quorvanta::core
