// The MCP bridge: answers one JSON-RPC 2.0 message of the Model Context Protocol at a time and
// maps its one tool, a file search, onto a local API search request. No I/O of its own: the
// tool's `mcp` command feeds it lines from standard input and passes a `forward` function that
// sends a local API request to the running application (LocalAPIClient::send).
//
// Stateless; `handle` may run on any thread. It never throws, and every message that is not a
// notification gets exactly one reply line (compact JSON, no line feed). Untrusted input is
// bounded: a message longer than `maxMessageBytes` or nested deeper than `maxNesting` is a parse
// error, found before anything is copied or echoed.
#pragma once

#include "QuorvantaCore/json/JSONText.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::core::MCP {

inline constexpr std::string_view toolName = "search_files";
inline constexpr std::string_view toolDescription =
    "Search the files on this computer by name using Quorvanta's live index (read-only). "
    "Supports Quorvanta search syntax, e.g. `*.pdf`, `ext:psd size:>10mb`, `dm:today`, "
    "`\"exact phrase\"`, `a|b`, `!excluded`. Returns path, name, kind, size and modified time "
    "(Unix seconds).";
inline constexpr std::string_view serverName = "quorvanta";
inline constexpr std::string_view serverVersion = "1";
inline constexpr std::string_view defaultProtocolVersion = "2024-11-05";

// Longest message read, in bytes (line feed not counted); a reader may drop the rest of a longer
// line unread, since it gets the parse error whatever it holds.
inline constexpr std::size_t maxMessageBytes = 1 << 20;
// Deepest nesting of arrays and objects accepted in a message; the message object is level 1.
inline constexpr int maxNesting = kJSONMaxDepth;

// JSON-RPC error codes.
inline constexpr int parseErrorCode = -32700;
inline constexpr int methodNotFoundCode = -32601;
inline constexpr int invalidParamsCode = -32602;

struct Error {
    int code = 0;
    std::string message;
};

// Takes a local API request (one compact JSON object) and returns the application's reply line,
// or throws (LocalAPIClient::ClientError, or anything else derived from std::exception).
using Forward = std::function<std::string(std::string_view request)>;

// The tool object listed by tools/list: name, description, input schema and annotations.
nlohmann::json toolDefinition();

// The reply to one message (its bytes without line feed), or none for a notification. `forward`
// is called at most once, synchronously, and only for a tools/call request with an id.
std::optional<std::string> handle(std::string_view message, const Forward& forward) noexcept;

// One reply: "jsonrpc" "2.0", "id", then "result" and/or "error" {"code","message"} when given.
// Compact, keys sorted at every level, "/" unescaped, ill-formed UTF-8 replaced, so it cannot
// fail on any value a parsed message holds.
std::string reply(const nlohmann::json& id, const std::optional<nlohmann::json>& result,
                  const std::optional<Error>& error);

}  // namespace quorvanta::core::MCP
