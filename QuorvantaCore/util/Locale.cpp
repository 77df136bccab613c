#include "QuorvantaCore/util/Locale.h"

#include <unicode/locid.h>
#include <unicode/numberformatter.h>

#include <algorithm>
#include <cstdio>

namespace quorvanta::core {

struct Locale::Formatter {
    icu::number::LocalizedNumberFormatter icu;
};

Locale::Locale(std::string_view identifier) : identifier_(identifier) {
    // ICU reads "pt_BR" and "pt-BR" alike.
    const icu::Locale locale(identifier_.c_str());
    formatter_ = std::make_shared<const Formatter>(Formatter{icu::number::NumberFormatter::withLocale(locale)});
}

const std::string& Locale::identifier() const { return identifier_; }

std::string Locale::formatNumber(double value, int fractionDigits) const {
    return formatNumber(value, fractionDigits, fractionDigits);
}

std::string Locale::formatNumber(double value, int minFractionDigits, int maxFractionDigits) const {
    const int most = std::clamp(maxFractionDigits, 0, 15);
    const int least = std::min(std::clamp(minFractionDigits, 0, 15), most);
    UErrorCode status = U_ZERO_ERROR;
    const auto formatted =
        formatter_->icu.precision(icu::number::Precision::minMaxFraction(least, most)).formatDouble(value, status);
    std::string text;
    if (U_SUCCESS(status)) formatted.toString(status).toUTF8String(text);
    if (U_SUCCESS(status)) return text;
    char fallback[64];
    std::snprintf(fallback, sizeof fallback, "%.*f", most, value);
    return fallback;
}

std::string Locale::formatInteger(std::int64_t value) const {
    UErrorCode status = U_ZERO_ERROR;
    const auto formatted = formatter_->icu.formatInt(value, status);
    std::string text;
    if (U_SUCCESS(status)) formatted.toString(status).toUTF8String(text);
    if (U_SUCCESS(status)) return text;
    return std::to_string(value);
}

}  // namespace quorvanta::core
