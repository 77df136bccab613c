#include "QuorvantaCore/query/QueryParser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <map>
#include <string>

namespace quorvanta::core {
namespace {

using namespace std::chrono;
using Field = AudioCond::Field;

// 2024-05-15 12:00 UTC.
const system_clock::time_point kNow = sys_days{2024y / May / 15} + 12h;

Calendar zone(const char* id) {
    auto calendar = Calendar::named(id);
    EXPECT_TRUE(calendar.has_value()) << id;
    return calendar.value_or(Calendar::current());
}

template <class T>
std::string printed(T lo, T hi) {
    return "[" + std::to_string(lo) + ", " + std::to_string(hi) + "]";
}

// The range a filter reads from a value, as "[lo, hi]", or the error message.
std::string read(const std::string& filter, const std::string& value, system_clock::time_point now = kNow,
                 const Calendar& calendar = zone("UTC")) {
    static const std::map<std::string, Field> audio = {
        {"bitrate", Field::bitrate}, {"bpm", Field::bpm},   {"dur", Field::dur},           {"year", Field::year},
        {"rate", Field::rate},       {"bits", Field::bits}, {"channels", Field::channels},
    };
    try {
        if (filter == "size") {
            const auto r = QueryParser::parseSize(value);
            return printed(r.lo, r.hi);
        }
        if (filter == "dm") {
            const auto r = QueryParser::parseDate(value, now, calendar);
            return printed(r.lo, r.hi);
        }
        const AudioCond c = QueryParser::audioNumber(audio.at(filter), value);
        EXPECT_TRUE(c.text.empty() && c.flag) << filter << ":" << value;
        return printed(c.lo, c.hi);
    } catch (const QueryError& e) {
        return e.message();
    }
}

struct Case {
    std::string filter;
    std::string value;
    std::string expected;
};

void check(const std::vector<Case>& cases) {
    for (const auto& c : cases) EXPECT_EQ(read(c.filter, c.value), c.expected) << c.filter << ":" << c.value;
}

constexpr auto kU64 = "18446744073709551615";
constexpr auto kI64 = "9223372036854775807";
constexpr auto kI64Min = "-9223372036854775808";

TEST(QueryValues, Sizes) {
    check({
        {"size", "1mb", "[1048576, 1048576]"},
        {"size", ">1k", std::string("[1025, ") + kU64 + "]"},
        {"size", ">=1k", std::string("[1024, ") + kU64 + "]"},
        {"size", "<1k", "[0, 1023]"},
        {"size", "<=1k", "[0, 1024]"},
        {"size", "=1k", "[1024, 1024]"},
        {"size", "<0", "[0, 0]"},
        {"size", "<=0", "[0, 0]"},
        {"size", "10m..1m", "[1048576, 10485760]"},
        {"size", "5", "[5, 5]"},
        {"size", "1.5GiB", "[1610612736, 1610612736]"},
        {"size", "2TB", "[2199023255552, 2199023255552]"},
        {"size", ".5k", "[512, 512]"},
        {"size", "0.5k", "[512, 512]"},
        {"size", "1.999b", "[1, 1]"},
        {"size", "16777215t", "[18446742974197923840, 18446742974197923840]"},
        {"size", "k", "size: k"},
        {"size", "1..", "size: "},
        {"size", "..1", "size: "},
        {"size", "1kb5", "size: 1kb5"},
        {"size", "=>5", "size: >5"},
        {"size", ">1..5", "size: >1"},
        {"size", "1.5 gb", "size: 1.5 gb"},
        {"size", "1,5gb", "size: 1,5gb"},
        {"size", "1.2.3", "size: 1.2.3"},
        {"size", ".", "size: ."},
        {"size", " 1", "size:  1"},
        {"size", "\xD9\xA1", "size: \xD9\xA1"},  // ARABIC-INDIC DIGIT ONE is numeric, but not read
        {"size", "1PB", "size: 1PB"},
        {"size", "", "size: "},
    });
}

TEST(QueryValues, DatesInUtc) {
    check({
        {"dm", "2024", "[1704067200, 1735689599]"},
        {"dm", "2024-02", "[1706745600, 1709251199]"},
        {"dm", "2024-1-5", "[1704412800, 1704499199]"},
        {"dm", "+2024-+1-05", "[1704412800, 1704499199]"},
        {"dm", "2024--05", "[1714521600, 1717199999]"},
        {"dm", "-2024-05-", "[1714521600, 1717199999]"},
        {"dm", "2023-02-29", "dm: 2023-02-29"},
        {"dm", "2023-02-30", "dm: 2023-02-30"},
        {"dm", "2024-02-29", "[1709164800, 1709251199]"},
        {"dm", "2024-13", "dm: 2024-13"},
        {"dm", "2024-00", "dm: 2024-00"},
        {"dm", "2024-04-31", "dm: 2024-04-31"},
        {"dm", "2024-05-00", "dm: 2024-05-00"},
        {"dm", "1969", "[0, 0]"},
        {"dm", "<1970", "[0, 0]"},
        {"dm", "2106", "[4291747200, 4294967295]"},
        {"dm", "2107", "[4294967295, 4294967295]"},
        {"dm", ">2107", "[4294967295, 4294967295]"},
        {"dm", ">2024", "[1735689600, 4294967295]"},
        {"dm", ">=2024", "[1704067200, 4294967295]"},
        {"dm", "<2024", "[0, 1704067199]"},
        {"dm", "<=2024", "[0, 1735689599]"},
        {"dm", "=2024", "[1704067200, 1735689599]"},
        {"dm", "2020..2021", "[1577836800, 1640995199]"},
        {"dm", "2021..2020", "[1609459200, 1609459200]"},
        {"dm", "today", "[1715731200, 1715817599]"},
        {"dm", "ToDay", "[1715731200, 1715817599]"},
        {"dm", "yesterday", "[1715644800, 1715731199]"},
        {"dm", "yesterday..today", "[1715644800, 1715817599]"},
        {"dm", "2024-05-15-1", "dm: 2024-05-15-1"},
        {"dm", "2024-x", "dm: 2024-x"},
        {"dm", "2024 ", "dm: 2024 "},
        {"dm", " 2024", "dm:  2024"},
        {"dm", "++2024", "dm: ++2024"},
        {"dm", "-", "dm: -"},
        {"dm", "tomorrow", "dm: tomorrow"},
        {"dm", "", "dm: "},
        {"dm", "2024..", "dm: "},
    });
}

TEST(QueryValues, AudioNumbers) {
    const std::string max = kI64;
    const std::string min = kI64Min;
    check({
        {"bpm", "128", "[1276, 1284]"},
        {"bpm", "120..130", "[1200, 1300]"},
        {"bpm", ">128", "[1281, " + max + "]"},
        {"bpm", ">=128", "[1280, " + max + "]"},
        {"bpm", "<128", "[" + min + ", 1279]"},
        {"bpm", "<=128", "[" + min + ", 1280]"},
        {"bpm", "128.5", "[1281, 1289]"},
        {"bpm", "2,5", "[21, 29]"},
        {"bpm", "128 BPM", "[1276, 1284]"},
        {"bpm", "120\xC2\xBD", "bpm: 120\xC2\xBD"},  // ½ is numeric, so it joins the run
        {"bpm", "1.2.3", "bpm: 1.2.3"},
        {"bpm", "fast", "bpm: fast"},
        {"bpm", "", "bpm: "},
        {"dur", "3:30", "[210000, 210999]"},
        {"dur", "1:02:03", "[3723000, 3723999]"},
        {"dur", "90", "[90000, 90999]"},
        {"dur", "1.5m", "[90000, 90999]"},
        {"dur", "500ms", "[500, 1499]"},
        {"dur", "2std", "[7200000, 7200999]"},
        {"dur", "2 h", "[7200000, 7200999]"},
        {"dur", "1:75", "[135000, 135999]"},
        {"dur", "+1:-5", "[55000, 55999]"},
        {"dur", "1e1:0", "[600000, 600999]"},
        {"dur", " 3:30 ", "[210000, 210999]"},
        {"dur", "1::30", "[90000, 90999]"},
        {"dur", "3:", "dur: 3:"},
        {"dur", "1: 30", "dur: 1: 30"},
        {"dur", "1:2:3:4", "dur: 1:2:3:4"},
        {"dur", "1:x", "dur: 1:x"},
        {"dur", "+-1:00", "dur: +-1:00"},
        {"dur", "3min", "[180000, 180999]"},
        {"dur", "3days", "dur: 3days"},
        {"dur", "", "dur: "},
        {"bitrate", "320", "[320, 320]"},
        {"bitrate", "320kbps", "[320, 320]"},
        {"bitrate", "320 kbit/s", "[320, 320]"},
        {"bitrate", "319.5", "[320, 320]"},
        {"bitrate", "320mbps", "bitrate: 320mbps"},
        {"bitrate", "", "bitrate: "},
        {"year", "2020", "[2020, 2020]"},
        {"year", "2020.9", "[2020, 2020]"},
        {"year", "1990..1999", "[1990, 1999]"},
        {"year", "2020ad", "year: 2020ad"},
        {"year", "", "year: "},
        {"rate", "44.1", "[44100, 44100]"},
        {"rate", "48k", "[48000, 48000]"},
        {"rate", "44.1 kHz", "[44100, 44100]"},
        {"rate", "96000", "[96000, 96000]"},
        {"rate", "500hz", "[500000, 500000]"},
        {"rate", "48mhz", "samplerate: 48mhz"},
        {"rate", "", "samplerate: "},
        {"bits", "24", "[24, 24]"},
        {"bits", "24-bit", "[24, 24]"},
        {"bits", "24 bit", "[24, 24]"},
        {"bits", "24bits", "bits: 24bits"},
        {"bits", "24x", "bits: 24x"},
        {"bits", "", "bits: "},
        {"channels", "stereo", "[2, 2]"},
        {"channels", "Mono", "[1, 1]"},
        {"channels", "6", "[6, 6]"},
        {"channels", "1..stereo", "[1, 2]"},
        {"channels", "x", "channels: x"},
        {"channels", "2ch", "channels: 2ch"},
        {"channels", "", "channels: "},
    });
}

// Numbers that leave the representable range fail with the filter's message.
TEST(QueryValues, OutOfRangeNumbersFail) {
    const std::string thirty(30, '9');
    check({
        {"size", "99999999999999999999t", "size: 99999999999999999999t"},
        {"size", "16777216t", "size: 16777216t"},
        {"size", "18446744073709551615", "size: 18446744073709551615"},
        {"size", std::string(400, '9'), "size: " + std::string(400, '9')},
        {"bpm", thirty, "bpm: " + thirty},
        {"bpm", "922337203685477580", "bpm: 922337203685477580"},
        {"dur", "inf:00", "dur: inf:00"},
        {"dur", "nan:00", "dur: nan:00"},
        {"dur", "1e308:00:00", "dur: 1e308:00:00"},
        {"dur", "99999999999999999999h", "dur: 99999999999999999999h"},
        {"bitrate", ">9223372036854775807", "bitrate: 9223372036854775807"},
        {"bitrate", "9223372036854775806..9223372036854775807", "bitrate: 9223372036854775806"},
        {"year", "99999999999999999999", "year: 99999999999999999999"},
        {"year", "-1", "year: -1"},
        {"rate", std::string(300, '9') + "k", "samplerate: " + std::string(300, '9') + "k"},
        {"dm", "99999999999999999999", "dm: 99999999999999999999"},
        {"dm", "2000000", "dm: 2000000"},
        {"dm", "1000000", "dm: 1000000"},
        {"dm", "999999-12-31", "[4294967295, 4294967295]"},
    });

    // A reader at the ends of the signed 64-bit range, under each prefix and with slack.
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    const QueryParser::ValueReader largest = [](std::string_view) { return kMax; };
    const QueryParser::ValueReader smallest = [](std::string_view) { return kMin; };
    struct Extreme {
        const QueryParser::ValueReader* reader;
        Field field;
        const char* value;
        std::int64_t slack;
        std::string expected;
    };
    const Extreme extremes[] = {
        {&largest, Field::bpm, ">x", 0, "bpm: x"},
        {&largest, Field::bpm, ">=x", 0, printed(kMax, kMax)},
        {&largest, Field::bpm, "<x", 0, printed(kMin, kMax - 1)},
        {&largest, Field::bpm, "x", 4, "bpm: x"},
        {&largest, Field::dur, "x", 999, "dur: x"},
        {&largest, Field::year, "x", 0, printed(kMax, kMax)},
        {&smallest, Field::rate, "<x", 0, "samplerate: x"},
        {&smallest, Field::rate, "<=x", 0, printed(kMin, kMin)},
        {&smallest, Field::rate, ">x", 0, printed(kMin + 1, kMax)},
        {&smallest, Field::bpm, "=x", 4, "bpm: x"},
        {&smallest, Field::dur, "x", 999, printed(kMin, kMin + 999)},
        {&smallest, Field::channels, "x..y", 4, printed(kMin, kMin)},
    };
    for (const auto& e : extremes) {
        std::string got;
        try {
            const AudioCond c = QueryParser::numCond(e.field, e.value, e.slack, *e.reader);
            got = printed(c.lo, c.hi);
        } catch (const QueryError& error) {
            got = error.message();
        }
        EXPECT_EQ(got, e.expected) << rawValue(e.field) << ":" << e.value << " slack " << e.slack;
    }
}

TEST(QueryValues, DaysInTimeZones) {
    struct Case {
        const char* zone;
        system_clock::time_point now;
        const char* word;
        std::uint32_t first;
        std::uint32_t seconds;  // length of the span
    };
    const Case cases[] = {
        // The spring-forward day in Berlin has 23 hours, the fall-back day 25.
        {"Europe/Berlin", sys_days{2024y / March / 31} + 10h, "today", 1711839600, 23 * 3600},
        {"Europe/Berlin", sys_days{2024y / October / 27} + 10h, "today", 1729980000, 25 * 3600},
        {"Europe/Berlin", sys_days{2024y / April / 1} + 10h, "yesterday", 1711839600, 23 * 3600},
        // Sao Paulo skipped midnight on 2018-11-04: that day starts at 01:00 local (03:00 UTC).
        {"America/Sao_Paulo", sys_days{2018y / November / 4} + 15h, "today", 1541300400, 23 * 3600},
        // 23:30 UTC on 2024-03-31 is already 1 April in Berlin.
        {"Europe/Berlin", sys_days{2024y / March / 31} + 23h + 30min, "today", 1711922400, 24 * 3600},
        // Across a month (into a leap day) and a year boundary.
        {"UTC", sys_days{2024y / March / 1} + 10h, "yesterday", 1709164800, 24 * 3600},
        {"UTC", sys_days{2024y / January / 1} + 10h, "yesterday", 1703980800, 24 * 3600},
        {"America/New_York", sys_days{2024y / January / 1} + 3h, "today", 1703998800, 24 * 3600},
    };
    for (const auto& c : cases) {
        const auto [first, last] = QueryParser::span(c.word, c.now, zone(c.zone));
        EXPECT_EQ(first, c.first) << c.zone << " " << c.word;
        EXPECT_EQ(last - first + 1, c.seconds) << c.zone << " " << c.word;
    }

    // A month and a year in a zone east of UTC start at local midnight.
    const auto berlin = zone("Europe/Berlin");
    EXPECT_EQ(read("dm", "2024", kNow, berlin), "[1704063600, 1735685999]");
    EXPECT_EQ(read("dm", "2024-03", kNow, berlin), "[1709247600, 1711922399]");
}

TEST(QueryValues, CalendarZones) {
    EXPECT_FALSE(Calendar::named("Not/AZone").has_value());
    EXPECT_FALSE(Calendar::named("").has_value());
    const auto utc = zone("UTC");
    EXPECT_EQ(utc.dayOf(floor<milliseconds>(kNow)), (Calendar::Day{2024, 5, 15}));
    EXPECT_FALSE(utc.startOfDay(Calendar::kYearLimit + 1, 1, 1).has_value());
    EXPECT_FALSE(utc.startOfDay(Calendar::kYearLimit, 13, 1).has_value());
    EXPECT_TRUE(utc.startOfDay(Calendar::kYearLimit, 12, 31).has_value());
    EXPECT_EQ(utc.startOfDay(2024, 13, 1), utc.startOfDay(2025, 1, 1));
    EXPECT_EQ(utc.startOfDay(2024, 3, 0), utc.startOfDay(2024, 2, 29));
}

}  // namespace
}  // namespace quorvanta::core
