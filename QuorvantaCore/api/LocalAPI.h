// The local API protocol: one JSON request line in, one JSON reply line out, over a private
// socket (the server is LocalAPIServer, the client LocalAPIClient). This file holds the limits,
// the records, the stateless request handler and the byte-exact encoding of replies.
//
// `handle` and `encode` keep no state and may run on any number of threads at once. The
// back-end's closures are called on those threads, concurrently; making them safe there is the
// back-end's duty. Nothing here changes the index or the file system.
#pragma once

#include "QuorvantaCore/query/Query.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::core::LocalAPI {

inline constexpr std::size_t maxRequestBytes = 4096;  // line feed not counted
inline constexpr std::size_t maxQueryBytes = 1024;    // UTF-8 bytes of "query"
inline constexpr std::int64_t maxLimit = 200;
inline constexpr std::int64_t defaultLimit = 50;
inline constexpr std::int64_t maxConnections = 8;

// One search hit. JSON keys are the field names.
struct Row {
    std::string path;
    std::string name;
    std::string kind;            // "folder" or "file"
    std::uint64_t size = 0;      // bytes, 0 for folders
    std::uint32_t modified = 0;  // Unix seconds
    bool operator==(const Row&) const = default;
};

// One volume or offline catalog of the application. JSON keys are the field names.
struct Volume {
    std::string name;
    std::string root;
    std::int64_t entries = 0;
    bool scanning = false;
    bool offline = false;
    bool operator==(const Volume&) const = default;
};

// A reply. Absent optional fields are left out of the JSON.
struct Response {
    bool ok = false;
    std::optional<std::string> error;
    std::optional<std::vector<Volume>> volumes;
    std::optional<std::int64_t> entries;
    std::optional<std::string> query;
    std::optional<std::int64_t> total;
    std::optional<std::int64_t> shown;
    std::optional<std::vector<Row>> results;
};

struct SearchResult {
    std::int64_t total = 0;  // every hit
    std::vector<Row> rows;   // at most the limit, in result order
};

// What the handler asks of the application. Both closures may be called from any thread,
// several at once.
struct Backend {
    std::function<std::vector<Volume>()> volumes;
    std::function<SearchResult(const Query& query, std::int64_t limit)> search;
};

// The reply to one request (its bytes before the line feed), without line feed. Never throws:
// every problem becomes an error reply. The "query" text is read by the query language against
// the current date and the user's calendar; a text it rejects is answered with the error's
// printed form, such as invalid("ext: needs a value").
std::string handle(std::string_view request, const Backend& backend);

// Compact JSON with sorted keys and "/" unescaped; {"ok":false} should encoding ever fail.
std::string encode(const Response& response);

// The socket "api.sock" inside the data directory (created when missing).
std::filesystem::path defaultSocketPath();

nlohmann::json toJSON(const Row& row);
nlohmann::json toJSON(const Volume& volume);
// None when a key is missing or holds a value of another type or out of range.
std::optional<Row> rowFromJSON(const nlohmann::json& value);
std::optional<Volume> volumeFromJSON(const nlohmann::json& value);

}  // namespace quorvanta::core::LocalAPI
