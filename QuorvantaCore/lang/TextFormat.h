// Texts with inserted values, as keys and translations write them: "%@" stands for an inserted
// text, "%lld" for an inserted whole number and "%%" for a percent sign. A translation may number
// its placeholders ("%2$@ … %1$lld", positions 1 to 99) to put the values in another order. Any
// other "%" is plain text.
//
// Pure functions; any thread may call them.
#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::core {

enum class ArgKind : std::uint8_t { text, number };

// One inserted value. A number is kept as its plain decimal digits ("%lld" writes no grouping);
// a count that the user should read grouped is formatted with the interface locale first and
// passed as a text.
struct FormatArg {
    ArgKind kind;
    std::string text;

    FormatArg(std::string_view value) : kind(ArgKind::text), text(value) {}
    FormatArg(const std::string& value) : kind(ArgKind::text), text(value) {}
    FormatArg(const char* value) : kind(ArgKind::text), text(value) {}
    template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>) FormatArg(T value)
        : kind(ArgKind::number), text(std::to_string(value)) {}
};

// The kinds of the values that `pattern` inserts, first value first. None when the pattern is not
// consistent: numbered and unnumbered placeholders mixed, one position used with two kinds, or a
// position left out below the highest one.
std::optional<std::vector<ArgKind>> placeholderKinds(std::string_view pattern);

// Whether `translation` inserts the same values, of the same kinds, as `key` (in any order).
bool samePlaceholders(std::string_view key, std::string_view translation);

// `pattern` with its placeholders replaced by `args`. Unnumbered placeholders take the values in
// order. A placeholder without a value stays as it is written; a value of the other kind is
// inserted as its text.
std::string formatText(std::string_view pattern, std::span<const FormatArg> args);

}  // namespace quorvanta::core
