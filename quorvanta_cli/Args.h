// The tool's argument list and the option syntax every subcommand shares.
//
// The list is the process arguments without the program name. Element 0 is the subcommand word;
// operands are read by position, options are found anywhere in the list by exact name (element 0
// included), and whatever follows an option name is its value, even text beginning with "--".
// Each subcommand declares its options once, as `Option`s (Options.h), and reads them through
// the overloads that take one, so a value and its default come from the same declaration.
//
// Threads: an Args is read on one thread at a time (it remembers the names asked for).
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::cli {

// How a command's usage text shows one of its options.
enum class Shown {
    optional,  // "[--name value]"
    required,  // "--name value"
    choice,    // with the choice options beside it: "(--a x | --b y)...", one or more of them
    hidden,    // left out: the command reads it, its usage text does not name it
};

// One option of a subcommand: the name it is found by, the name of its value in the usage text
// ("" for a switch, which takes none), and its default.
struct Option {
    std::string_view name;
    std::string_view value{};
    Shown shown = Shown::optional;
    std::int64_t number = 0;  // the default of a number option
    std::string_view text{};  // the default of a text option
};

// The same option, left out of the usage text of the command that lists it so.
constexpr Option hidden(Option option) {
    option.shown = Shown::hidden;
    return option;
}

// A value read as a signed 64-bit decimal integer: an optional "+" or "-", then one or more
// digits and nothing else. Overflow, blanks, fractions or any other text give none.
std::optional<std::int64_t> number(std::string_view text);

class Args {
public:
    Args() = default;
    explicit Args(std::vector<std::string> items) : items_(std::move(items)) {}
    Args(int argc, const char* const* argv);  // argv[0], the program name, is left out

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }

    // Element i, or none past the end.
    std::optional<std::string> at(std::size_t i) const;
    const std::vector<std::string>& items() const { return items_; }

    // The value after the first occurrence of name; none when the name does not occur or its
    // first occurrence is the last argument.
    std::optional<std::string> opt(std::string_view name) const;
    // The values after every occurrence of name, in argument order.
    std::vector<std::string> opts(std::string_view name) const;
    // True when the exact text occurs anywhere in the list.
    bool flag(std::string_view name) const;
    // The number value of opt(name), or fallback when it has none or it is not a number.
    std::int64_t numberOr(std::string_view name, std::int64_t fallback) const;

    // The readers above for a declared option; `number` and `text` fall back to its default.
    std::optional<std::string> opt(const Option& option) const { return opt(option.name); }
    std::vector<std::string> opts(const Option& option) const { return opts(option.name); }
    bool flag(const Option& option) const { return flag(option.name); }
    std::int64_t number(const Option& option) const { return numberOr(option.name, option.number); }
    std::string text(const Option& option) const;

    // Every option name asked for so far, whatever the answer: what a run of a command reads.
    const std::set<std::string, std::less<>>& asked() const { return asked_; }

private:
    std::vector<std::string> items_;
    mutable std::set<std::string, std::less<>> asked_;
};

}  // namespace quorvanta::cli
