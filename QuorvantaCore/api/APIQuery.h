// The parsed search that the local API hands to its back-end, and the one call that turns a
// request's "query" text into it. The handler reaches the query language only through
// `parseQuery`, so the back-end and the handler need not know how queries are read.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::core::LocalAPI {

// A search as the back-end receives it. The query language is not wired in yet: the value
// carries the text, which the back-end evaluates.
struct Query {
    std::string text;
    bool operator==(const Query&) const = default;
};

// The outcome of reading a query text: the query, or the printed form of the reader's error,
// such as invalid("ext: needs a value").
struct ParsedQuery {
    std::optional<Query> query;
    std::string error;
};

using QueryReader = std::function<ParsedQuery(std::string_view text)>;

// The production reader: the query language, resolved against the current date and calendar.
ParsedQuery parseQuery(std::string_view text);

}  // namespace quorvanta::core::LocalAPI
