// Pieces shared by the readers of filter values (sizes, dates, audio numbers): the range and
// prefix grammar, the error they all raise, and checked conversions from a double to an integer.
// Internal to QuorvantaCore/search.
#pragma once

#include "QuorvantaCore/query/Query.h"

#include "QuorvantaCore/text/CharClass.h"
#include "QuorvantaCore/text/Grapheme.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvanta::core::value_syntax {

enum class Prefix { none, atLeast, atMost, above, below, equal };

// The two sides of "a..b", split at the first ".."; none without one.
inline std::optional<std::pair<std::string_view, std::string_view>> rangeSides(std::string_view value) {
    const auto at = value.find("..");
    if (at == std::string_view::npos) return std::nullopt;
    return std::pair{value.substr(0, at), value.substr(at + 2)};
}

// The comparison prefix of a single value and the text after it.
inline std::pair<Prefix, std::string_view> splitPrefix(std::string_view value) {
    static constexpr std::pair<std::string_view, Prefix> prefixes[] = {
        {">=", Prefix::atLeast}, {"<=", Prefix::atMost}, {">", Prefix::above},
        {"<", Prefix::below},    {"=", Prefix::equal},
    };
    for (const auto& [text, prefix] : prefixes)
        if (value.starts_with(text)) return {prefix, value.substr(text.size())};
    return {Prefix::none, value};
}

// The unsigned range that a prefix makes of a value covering [first, last]: ">" starts after
// last (and stays at the top of the range there), "<" ends before first (and gives [0, 0] at 0).
template <class T>
ClosedRange<T> compared(Prefix prefix, T first, T last) {
    constexpr T max = std::numeric_limits<T>::max();
    switch (prefix) {
        case Prefix::above:
            return {last == max ? max : last + 1, max};
        case Prefix::atLeast:
            return {first, max};
        case Prefix::below:
            return {0, first == 0 ? 0 : first - 1};
        case Prefix::atMost:
            return {0, last};
        case Prefix::equal:
        case Prefix::none:
            break;
    }
    return {first, last};
}

// The length of the leading run of numeric characters (any with a Unicode numeric value) and
// the ASCII bytes in `also`. The run may hold characters that no number reads ("½", "١").
inline std::size_t numberRunLength(std::string_view text, std::string_view also) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = text::graphemeEnd(text, end);
        const std::string_view character = text.substr(end, next - end);
        const bool listed = character.size() == 1 && also.find(character[0]) != std::string_view::npos;
        if (!listed && !text::isNumeric(character)) break;
        end = next;
    }
    return end;
}

// The whole of text as a finite floating-point literal in C syntax (no locale, no leading blank
// or "+"), or none.
inline std::optional<double> readDouble(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The pieces of text between any of the bytes in `separators`, empty pieces left out.
inline std::vector<std::string_view> pieces(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> out;
    while (!text.empty()) {
        const auto at = text.find_first_of(separators);
        if (at != 0) out.push_back(text.substr(0, at));
        if (at == std::string_view::npos) break;
        text.remove_prefix(at + 1);
    }
    return out;
}

// The error of every value reader: the filter's word, ": " and the piece that failed.
[[noreturn]] inline void fail(std::string_view word, std::string_view piece) {
    std::string message(word);
    message += ": ";
    message += piece;
    throw QueryError::invalid(std::move(message));
}

// An integral double as a signed 64-bit value; none outside the range (and for NaN).
inline std::optional<std::int64_t> toInt64(double integral) {
    if (!(integral >= -9223372036854775808.0 && integral < 9223372036854775808.0)) return std::nullopt;
    return static_cast<std::int64_t>(integral);
}

}  // namespace quorvanta::core::value_syntax
