// A locale for formatting numbers shown to the user: a locale identifier ("en", "de_DE",
// "pt-BR") whose decimal separator, grouping separator and grouping rules come from ICU. An
// identifier ICU does not know formats like its language, or like the root locale. Copies are
// cheap and share one immutable formatter; any thread may format with it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorvanta::core {

class Locale {
public:
    explicit Locale(std::string_view identifier);

    const std::string& identifier() const;

    // `value` with exactly `fractionDigits` fraction digits, grouped as the locale groups.
    std::string formatNumber(double value, int fractionDigits) const;
    // `value` with at least `minFractionDigits` and at most `maxFractionDigits` fraction digits
    // (trailing zeros beyond the minimum left out), grouped as the locale groups. Both bounds are
    // taken within 0 to 15, and a minimum above the maximum counts as the maximum.
    std::string formatNumber(double value, int minFractionDigits, int maxFractionDigits) const;
    // `value` as a whole number, grouped as the locale groups; exact over the whole range.
    std::string formatInteger(std::int64_t value) const;

private:
    struct Formatter;
    std::string identifier_;
    std::shared_ptr<const Formatter> formatter_;
};

}  // namespace quorvanta::core
