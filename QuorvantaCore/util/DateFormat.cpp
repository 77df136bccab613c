#include "QuorvantaCore/util/DateFormat.h"

#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace quorvanta::core {
namespace {

// Building a pattern generator and a formatter reads ICU's locale data, far slower than formatting
// one date; the table shows many dates in one locale, so both are made once per locale and
// skeleton. ICU formatters are not safe for concurrent use, so they are used under the lock.
class Formatters {
public:
    std::string format(std::int64_t seconds, std::string_view skeleton, const Locale& locale,
                       const Calendar& calendar) {
        std::lock_guard hold(lock_);
        icu::SimpleDateFormat* formatter = formatterFor(std::string(skeleton), locale.identifier());
        if (!formatter) return {};
        formatter->setTimeZone(calendar.zone());
        icu::UnicodeString text;
        formatter->format(static_cast<UDate>(seconds) * 1000.0, text);
        std::string out;
        text.toUTF8String(out);
        return out;
    }

private:
    icu::SimpleDateFormat* formatterFor(const std::string& skeleton, const std::string& localeID) {  // lock_ held
        auto key = std::make_pair(localeID, skeleton);
        if (const auto found = formatters_.find(key); found != formatters_.end()) return found->second.get();
        const icu::Locale locale(localeID.c_str());
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::DateTimePatternGenerator> generator(
            icu::DateTimePatternGenerator::createInstance(locale, status));
        std::unique_ptr<icu::SimpleDateFormat> formatter;
        if (U_SUCCESS(status)) {
            const auto pattern =
                generator->getBestPattern(icu::UnicodeString::fromUTF8(icu::StringPiece(skeleton)), status);
            if (U_SUCCESS(status)) formatter = std::make_unique<icu::SimpleDateFormat>(pattern, locale, status);
            if (U_FAILURE(status)) formatter.reset();
        }
        return formatters_.emplace(std::move(key), std::move(formatter)).first->second.get();
    }

    std::mutex lock_;
    // (locale identifier, skeleton) -> formatter; null when ICU could not build one.
    std::map<std::pair<std::string, std::string>, std::unique_ptr<icu::SimpleDateFormat>> formatters_;  // lock_
};

Formatters& formatters() {
    // Never destroyed: a date may be formatted while static objects are torn down.
    static Formatters* const shared = new Formatters;
    return *shared;
}

}  // namespace

std::string formatDate(std::int64_t secondsSince1970, std::string_view skeleton, const Locale& locale,
                       const Calendar& calendar) {
    return formatters().format(secondsSince1970, skeleton, locale, calendar);
}

}  // namespace quorvanta::core
