#include "quorvanta_cli/Args.h"

#include <algorithm>
#include <charconv>

namespace quorvanta::cli {

std::optional<std::int64_t> number(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    // from_chars takes a leading "-" but no "+"; the syntax is already checked above.
    const std::string_view parsed = text.front() == '+' ? text.substr(1) : text;
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(parsed.data(), parsed.data() + parsed.size(), value);
    if (ec != std::errc{} || end != parsed.data() + parsed.size()) return std::nullopt;
    return value;
}

Args::Args(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) items_.emplace_back(argv[i]);
}

std::optional<std::string> Args::at(std::size_t i) const {
    if (i >= items_.size()) return std::nullopt;
    return items_[i];
}

std::optional<std::string> Args::opt(std::string_view name) const {
    asked_.emplace(name);
    const auto it = std::find(items_.begin(), items_.end(), name);
    if (it == items_.end() || std::next(it) == items_.end()) return std::nullopt;
    return *std::next(it);
}

std::vector<std::string> Args::opts(std::string_view name) const {
    asked_.emplace(name);
    std::vector<std::string> values;
    for (std::size_t i = 0; i + 1 < items_.size(); ++i)
        if (items_[i] == name) values.push_back(items_[i + 1]);
    return values;
}

bool Args::flag(std::string_view name) const {
    asked_.emplace(name);
    return std::find(items_.begin(), items_.end(), name) != items_.end();
}

std::int64_t Args::numberOr(std::string_view name, std::int64_t fallback) const {
    const auto value = opt(name);
    if (!value) return fallback;
    return cli::number(*value).value_or(fallback);
}

std::string Args::text(const Option& option) const { return opt(option).value_or(std::string(option.text)); }

}  // namespace quorvanta::cli
