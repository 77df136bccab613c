// The search language: search text in, `Query` out. A namespace of static functions without
// state; every function is pure (given the calendar) and safe from any thread. Every failure is
// a thrown `QueryError::invalid` whose message is shown to the user as it stands.
//
// Filter values share one small grammar: a range "a..b" (split at the first ".."), or a single
// value with an optional comparison prefix (">=", "<=", ">", "<", "=", tried in that order; none
// means "="). A range is recognised before any prefix. Value messages are the filter's canonical
// word, ": " and the piece that failed to read, whatever alias was typed ("bits: 24x").
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"
#include "QuorvantaCore/query/Calendar.h"
#include "QuorvantaCore/query/Query.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvanta::core {

class QueryParser {
public:
    // One token of the search text.
    struct Token {
        std::string text;     // without the double quotes toggled inside it
        bool quoted = false;  // the token began with a double quote
        bool isOr = false;    // the OR separator; its text is "|"
        bool operator==(const Token&) const = default;
    };

    // The query of a search text. `now` and `calendar` matter only for date filters. The first
    // bad filter value ends the parse with its QueryError; an unknown key, an unclosed quote, a
    // stray "|" or a bad regular expression are not errors. Any bytes are accepted: a byte that
    // is not UTF-8 is a character of its own.
    static Query parse(std::string_view text, std::chrono::system_clock::time_point now, const Calendar& calendar);

    // The tokens of a search text, split at blanks, tabs and "|" outside double quotes. Only a
    // character (grapheme cluster) that is exactly a quote, blank, tab or "|" counts as one.
    static std::vector<Token> tokenize(std::string_view text);

    // Reads one piece of an audio number value into the filter's unit, or throws.
    using ValueReader = std::function<std::int64_t(std::string_view piece)>;

    // Sizes in bytes, units powers of 1024 ("b", "k", "kb", "kib" ... "tib", or none).
    // ">" and ">=" run up to 2^64 - 1, "<" of 0 gives [0, 0]. Fails with "size: " + piece.
    static ClosedRange<std::uint64_t> parseSize(std::string_view value);
    // One size: a number of decimal digits and "." (truncated after scaling) and a unit.
    static std::uint64_t sizeValue(std::string_view piece);

    // Modification dates as Unix seconds in the calendar's zone, clamped to 32 bits: a year, a
    // month ("2024-02"), a day ("2024-02-29"), "today" or "yesterday". Fails with "dm: " + piece.
    static ClosedRange<std::uint32_t> parseDate(std::string_view value, std::chrono::system_clock::time_point now,
                                                const Calendar& calendar);
    // The first and last second of one date word or date.
    static std::pair<std::uint32_t, std::uint32_t> span(std::string_view piece,
                                                        std::chrono::system_clock::time_point now,
                                                        const Calendar& calendar);

    // An audio number filter: a range, or a single value under a prefix; a plain single value
    // gets `exactSlack` on both sides (only upward for `dur`). Fails with the reader's message,
    // or with the filter's message when a bound would leave the signed 64-bit range.
    static AudioCond numCond(AudioCond::Field field, std::string_view value, std::int64_t exactSlack,
                             const ValueReader& reader);

    // The value of an audio number filter (bitrate, bpm, dur, year, rate, bits, channels) with
    // the field's own reader and exact slack: ±4 tenths for bpm, 0 to +999 ms for dur.
    static AudioCond audioNumber(AudioCond::Field field, std::string_view value);

    // A leading number (digits, "." and ",", read with "," as the decimal point) and the unit
    // after it, lower-cased and without blanks around. Fails with word + ": " + text.
    static std::pair<double, std::string> number(std::string_view text, std::string_view word);

    // The value readers of the audio filters.
    static std::int64_t bitrateValue(std::string_view piece);  // kbit/s
    static std::int64_t durationMs(std::string_view piece);    // "3:30", "1:02:03", "90", "1.5m", "500ms"
    static std::int64_t rateValue(std::string_view piece);     // Hz; below 1000 without unit is kHz
    static std::int64_t bpmValue(std::string_view piece);      // tenths of a beat per minute
    static std::int64_t channelValue(std::string_view piece);  // "mono", "stereo" or a count
    // A reader of a number truncated to an integer, with no unit or one of `strip`.
    static ValueReader intValue(std::string word, std::vector<std::string> strip);

private:
    class Parse;

    // The predicate of a plain word: a regular expression in regex mode, else a wildcard
    // pattern when it holds "*" or "?", else a name.
    static Pred namePred(std::string_view text, bool regex);
};

}  // namespace quorvanta::core
