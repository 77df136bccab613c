#include "QuorvantaCore/util/Format.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::core {
namespace {

using namespace std::chrono;

constexpr const char* kNarrowNoBreakSpace = "\u202f";

// Seconds since 1970 of a UTC date and time.
std::int64_t utc(int year, unsigned month, unsigned day, int hour, int minute) {
    const sys_seconds at = sys_days(std::chrono::year(year) / std::chrono::month(month) / std::chrono::day(day)) +
                           hours(hour) + minutes(minute);
    return at.time_since_epoch().count();
}

Calendar berlin() { return *Calendar::named("Europe/Berlin"); }

TEST(DateFormat, AbbreviatedDateAndShortTimeInTheLocale) {
    const auto winter = utc(2024, 3, 7, 15, 0);  // 16:00 in Berlin (UTC+1)
    const std::string pm = std::string(kNarrowNoBreakSpace) + "PM";
    const struct {
        const char* locale;
        std::string text;
    } cases[] = {
        {"en", "Mar 7, 2024, 4:00" + pm}, {"en_US", "Mar 7, 2024, 4:00" + pm}, {"de", "7. März 2024, 16:00"},
        {"de_DE", "7. März 2024, 16:00"}, {"fr", "7 mars 2024, 16:00"},        {"es", "7 mar 2024, 16:00"},
        {"it", "7 mar 2024, 16:00"},      {"nl", "7 mrt 2024 16:00"},          {"pt-BR", "7 de mar. de 2024, 16:00"},
        {"ja", "2024年3月7日 16:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(Format::dateTime(winter, Locale(c.locale), berlin()), c.text) << c.locale;
}

TEST(DateFormat, TimeZoneOfTheCalendar) {
    const struct {
        std::int64_t at;
        const char* zone;
        const char* text;
    } cases[] = {
        {utc(2024, 3, 7, 15, 0), "UTC", "7. März 2024, 15:00"},
        {utc(2024, 3, 7, 15, 0), "Asia/Tokyo", "8. März 2024, 00:00"},
        {utc(2024, 7, 7, 15, 0), "Europe/Berlin", "7. Juli 2024, 17:00"},  // summer time
        {utc(2024, 3, 31, 0, 59), "Europe/Berlin", "31. März 2024, 01:59"},
        {utc(2024, 3, 31, 1, 0), "Europe/Berlin", "31. März 2024, 03:00"},  // the clock change
        {utc(1970, 1, 1, 0, 0), "UTC", "1. Jan. 1970, 00:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Format::dateTime(c.at, Locale("de"), *Calendar::named(c.zone)), c.text) << c.zone;
}

TEST(DateFormat, UnknownLocaleStillGivesADate) {
    const auto text = Format::dateTime(utc(2024, 3, 7, 15, 0), Locale("xx_UNKNOWN"), berlin());
    EXPECT_NE(text.find("2024"), std::string::npos) << text;
    EXPECT_NE(text.find("16:00"), std::string::npos) << text;
}

TEST(DateFormat, OneFormatterServesManyThreads) {
    const Locale german("de");
    const Calendar zone = berlin();
    const auto at = utc(2024, 3, 7, 15, 0);
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i) wrong[t] += Format::dateTime(at, german, zone) != "7. März 2024, 16:00";
        });
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace quorvanta::core
