// The tool's argument list and the option syntax every subcommand shares.
//
// The list is the process arguments without the program name. Element 0 is the subcommand word;
// operands are read by position, options are found anywhere in the list by exact name (element 0
// included), and whatever follows an option name is its value, even text beginning with "--".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::cli {

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

private:
    std::vector<std::string> items_;
};

}  // namespace quorvanta::cli
