// The audio number filters' values (bitrate, bpm, dur, year, samplerate, bits, channels): a
// number with an optional unit per reader, and the range or prefix around it. Numbers are read
// without the user's locale; "," is taken as a decimal point. (Fills in QueryParser.h.)
#include "QuorvantaCore/query/QueryParser.h"
#include "QuorvantaCore/query/ValueSyntax.h"

#include "QuorvantaCore/text/Case.h"
#include "QuorvantaCore/text/CharClass.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvanta::core {
namespace {

using namespace value_syntax;
using Field = AudioCond::Field;

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

// The word that names a number filter in its messages, whichever alias was typed.
std::string_view filterWord(Field field) {
    switch (field) {
        case Field::rate:
            return "samplerate";
        default:
            return rawValue(field);
    }
}

std::int64_t rounded(double value, std::string_view word, std::string_view piece) {
    const auto result = toInt64(std::round(value));
    if (!result) fail(word, piece);
    return *result;
}

std::int64_t truncated(double value, std::string_view word, std::string_view piece) {
    const auto result = toInt64(std::trunc(value));
    if (!result) fail(word, piece);
    return *result;
}

// A duration written with colons: m:ss or h:mm:ss, each piece any floating-point literal.
std::int64_t clockDurationMs(std::string_view text, std::string_view piece) {
    const auto texts = pieces(text, ":");
    if (texts.size() != 2 && texts.size() != 3) fail("dur", piece);
    double parts[3] = {};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::string_view part = texts[i];
        if (part.starts_with('+')) {
            part.remove_prefix(1);
            if (part.starts_with('-')) fail("dur", piece);
        }
        const auto value = readDouble(part);
        if (!value) fail("dur", piece);
        parts[i] = *value;
    }
    const double seconds = texts.size() == 2 ? parts[0] * 60 + parts[1] : parts[0] * 3600 + parts[1] * 60 + parts[2];
    return rounded(seconds * 1000, "dur", piece);
}

}  // namespace

std::pair<double, std::string> QueryParser::number(std::string_view text, std::string_view word) {
    const std::string lower = text::lowercased(text);
    const std::string_view trimmed = text::trimBlanks(lower);
    const std::size_t run = numberRunLength(trimmed, ".,");
    std::string digits(trimmed.substr(0, run));
    std::replace(digits.begin(), digits.end(), ',', '.');
    const auto value = readDouble(digits);
    if (!value) fail(word, text);
    return {*value, std::string(text::trimBlanks(trimmed.substr(run)))};
}

QueryParser::ValueReader QueryParser::intValue(std::string word, std::vector<std::string> strip) {
    return [word = std::move(word), strip = std::move(strip)](std::string_view piece) {
        const auto [value, unit] = number(piece, word);
        if (!unit.empty() && std::find(strip.begin(), strip.end(), unit) == strip.end()) fail(word, piece);
        return truncated(value, word, piece);
    };
}

std::int64_t QueryParser::bitrateValue(std::string_view piece) {
    static constexpr std::string_view units[] = {"", "k", "kb", "kbps", "kbit", "kbit/s", "kb/s"};
    const auto [value, unit] = number(piece, "bitrate");
    if (std::find(std::begin(units), std::end(units), unit) == std::end(units)) fail("bitrate", piece);
    return rounded(value, "bitrate", piece);
}

std::int64_t QueryParser::bpmValue(std::string_view piece) {
    return rounded(number(piece, "bpm").first * 10, "bpm", piece);
}

std::int64_t QueryParser::rateValue(std::string_view piece) {
    const auto [value, unit] = number(piece, "samplerate");
    if (unit.empty() || unit == "hz") return truncated(value < 1000 ? value * 1000 : value, "samplerate", piece);
    if (unit == "k" || unit == "khz") return rounded(value * 1000, "samplerate", piece);
    fail("samplerate", piece);
}

std::int64_t QueryParser::channelValue(std::string_view piece) {
    const std::string lower = text::lowercased(piece);
    if (lower == "mono") return 1;
    if (lower == "stereo") return 2;
    static const ValueReader count = intValue("channels", {});
    return count(piece);
}

std::int64_t QueryParser::durationMs(std::string_view piece) {
    const std::string_view trimmed = text::trimBlanks(piece);
    if (trimmed.find(':') != std::string_view::npos) return clockDurationMs(trimmed, piece);
    static constexpr std::pair<std::string_view, double> units[] = {
        {"", 1}, {"s", 1}, {"sec", 1}, {"m", 60}, {"min", 60}, {"h", 3600}, {"std", 3600}, {"ms", 0.001},
    };
    const auto [value, unit] = number(piece, "dur");
    for (const auto& [text, seconds] : units)
        if (unit == text) return rounded(value * seconds * 1000, "dur", piece);
    fail("dur", piece);
}

AudioCond QueryParser::numCond(AudioCond::Field field, std::string_view value, std::int64_t exactSlack,
                               const ValueReader& reader) {
    const std::string_view word = filterWord(field);
    AudioCond cond(field);
    if (const auto sides = rangeSides(value)) {
        const std::int64_t a = reader(sides->first);
        const std::int64_t b = reader(sides->second);
        cond.lo = std::min(a, b);
        cond.hi = std::max(a, b);
        return cond;
    }
    const auto [prefix, rest] = splitPrefix(value);
    const std::int64_t v = reader(rest);
    switch (prefix) {
        case Prefix::above:
            if (v == kMax) fail(word, rest);
            cond.lo = v + 1;
            break;
        case Prefix::atLeast:
            cond.lo = v;
            break;
        case Prefix::below:
            if (v == kMin) fail(word, rest);
            cond.hi = v - 1;
            break;
        case Prefix::atMost:
            cond.hi = v;
            break;
        case Prefix::equal:
        case Prefix::none: {
            const std::int64_t slack = std::max<std::int64_t>(exactSlack, 0);
            const std::int64_t below = field == Field::dur ? 0 : slack;
            if (__builtin_add_overflow(v, slack, &cond.hi) || __builtin_sub_overflow(v, below, &cond.lo))
                fail(word, rest);
            break;
        }
    }
    return cond;
}

AudioCond QueryParser::audioNumber(AudioCond::Field field, std::string_view value) {
    switch (field) {
        case Field::bitrate:
            return numCond(field, value, 0, bitrateValue);
        case Field::bpm:
            return numCond(field, value, 4, bpmValue);
        case Field::dur:
            return numCond(field, value, 999, durationMs);
        case Field::year: {
            static const ValueReader year = intValue("year", {});
            return numCond(field, value, 0, year);
        }
        case Field::rate:
            return numCond(field, value, 0, rateValue);
        case Field::bits: {
            static const ValueReader bits = intValue("bits", {"bit", "-bit"});
            return numCond(field, value, 0, bits);
        }
        case Field::channels:
            return numCond(field, value, 0, channelValue);
        default:
            break;
    }
    // Text fields and lossless carry no number: the whole range.
    return AudioCond(field);
}

}  // namespace quorvanta::core
