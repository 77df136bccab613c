// A parsed search as a plain value: a `Query` is an OR of AND-groups of `Term`s; a term is one
// predicate (`Pred`) with a negation and the case mode it was parsed under. The parser builds
// queries, the application appends its category term with `andTerm`, the searcher evaluates them.
// Values only: copy them freely and hand them between threads.
//
// A query from the parser keeps these invariants: no group is empty, an `Ext` list is never
// empty, every range has lo <= hi, and `Path` and `Content` texts are never empty. The group list
// itself may be empty (a blank search text). `andTerm` keeps them, except that a result category
// without extensions adds an empty `Ext` list, which matches nothing.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"

#include <cstdint>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace quorvanta::core {

// An inclusive range, lo <= hi.
template <class T>
struct ClosedRange {
    T lo;
    T hi;
    bool operator==(const ClosedRange&) const = default;
};

// One condition on an index entry. The alternatives, in this order: the text occurs in the file
// name; the whole name matches a wildcard pattern ("*" any run of bytes, "?" one byte, on the
// folded name); the name matches a regular expression; the extension is one of a list (lower
// case, no dot); the size in bytes lies in a range; the modification time in Unix seconds lies
// in a range; the text occurs in the path; the entry is (or is not) a folder; an audio filter;
// the text occurs in the indexed content; the entry is flagged junk.
struct Pred {
    struct Name {
        std::string text;
        bool operator==(const Name&) const = default;
    };
    struct Glob {
        std::string pattern;
        bool operator==(const Glob&) const = default;
    };
    struct Regex {
        std::string pattern;
        bool operator==(const Regex&) const = default;
    };
    struct Ext {
        std::vector<std::string> exts;
        bool operator==(const Ext&) const = default;
    };
    struct Size {
        ClosedRange<std::uint64_t> range;
        bool operator==(const Size&) const = default;
    };
    struct Date {
        ClosedRange<std::uint32_t> range;
        bool operator==(const Date&) const = default;
    };
    struct Path {
        std::string text;
        bool operator==(const Path&) const = default;
    };
    struct Kind {
        bool dir;
        bool operator==(const Kind&) const = default;
    };
    struct Audio {
        AudioCond cond;
        bool operator==(const Audio&) const = default;
    };
    struct Content {
        std::string text;
        bool operator==(const Content&) const = default;
    };
    struct Junk {
        bool operator==(const Junk&) const = default;
    };

    using Value = std::variant<Name, Glob, Regex, Ext, Size, Date, Path, Kind, Audio, Content, Junk>;
    Value value;

    template <class Alternative>
    requires std::is_constructible_v<Value, Alternative> Pred(Alternative alternative)
        : value(std::move(alternative)) {}

    bool operator==(const Pred&) const = default;
};

struct Term {
    bool neg = false;  // the term holds when its predicate does not
    Pred pred;
    bool caseSensitive = false;  // the case mode in force when the term was parsed
    bool operator==(const Term&) const = default;
};

struct Query {
    std::vector<std::vector<Term>> groups;  // ORed; the terms of a group are ANDed, in text order

    // A copy with `term` appended to every group; a query without groups gives [[term]].
    Query andTerm(const Term& term) const;

    bool operator==(const Query&) const = default;
};

// A search text that cannot be parsed. The message is shown to the user as it stands (fixed
// English words and pieces of the search text); two errors are equal when their messages are.
class QueryError : public std::exception {
public:
    static QueryError invalid(std::string message) { return QueryError(std::move(message)); }

    const std::string& message() const { return message_; }
    // The printed form that scripts see: invalid("…") with the message escaped.
    std::string description() const;
    const char* what() const noexcept override { return message_.c_str(); }

    bool operator==(const QueryError& other) const { return message_ == other.message_; }

private:
    explicit QueryError(std::string message) : message_(std::move(message)) {}
    std::string message_;
};

}  // namespace quorvanta::core
