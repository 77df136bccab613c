#include "QuorvantaCore/query/QueryParser.h"

#include "tests/QuorvantaCore/query/QueryPrinter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

using namespace std::chrono;

const system_clock::time_point kNow = sys_days{2024y / May / 15} + 12h;

const Calendar& utc() {
    static const Calendar calendar = *Calendar::named("UTC");
    return calendar;
}

// The printed query of a search text, or "error: " and the message.
std::string parsed(const std::string& text) {
    try {
        return test::printed(QueryParser::parse(text, kNow, utc()));
    } catch (const QueryError& e) {
        return "error: " + e.message();
    }
}

// U+0301 COMBINING ACUTE ACCENT: it joins the character before it into one cluster.
const std::string kAcute = "\xCC\x81";

TEST(QueryParser, Grammar) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        // Empty queries.
        {"", "[]"},
        {"   ", "[]"},
        {"\t", "[]"},
        {"|", "[]"},
        {"case:", "[]"},
        {"regex:", "[]"},
        // Words, wildcards, OR.
        {"report", "[[name report]]"},
        {"*.txt", "[[glob *.txt]]"},
        {"re?d", "[[glob re?d]]"},
        {"a b | c", "[[name a, name b], [name c]]"},
        {"a|b", "[[name a], [name b]]"},
        {"| a |", "[[name a]]"},
        {"a | | b", "[[name a], [name b]]"},
        {"a\tb", "[[name a, name b]]"},
        {"a\nb", "[[name a\nb]]"},
        // Quotes.
        {"\"abc\"", "[[name abc]]"},
        {"\"\"abc", "[[name abc]]"},
        {"\"\"!abc", "[[name !abc]]"},      // quoted: never negated
        {"!ab\"c d\"", "[[!name abc d]]"},  // not quoted: one token, negated
        {"\"\"", "[[name ]]"},
        {"\"my file", "[[name my file]]"},
        {"\"a|b\"", "[[name a|b]]"},
        {"\"ext:mp3\"", "[[name ext:mp3]]"},
        {"\"!a\"", "[[name !a]]"},
        {"\"*.txt\"", "[[glob *.txt]]"},
        {"path:\"My Documents\"", "[[path My Documents]]"},
        // Negation.
        {"!", "[[name !]]"},
        {"!!a", "[[!name !a]]"},
        {"!ext:mp3", "[[!ext(mp3)]]"},
        {"!folder:tmp", "[[!kind dir, !name tmp]]"},
        {"!case:", "[]"},
        {"!case: foo", "[[^name foo]]"},
        {"!case:foo bar", "[[!^name foo, ^name bar]]"},
        {"!regex:", "[]"},
        {"!regex: a", "[[regex a]]"},
        {"!regex:a", "[[!regex a]]"},
        // Modes.
        {"case:Foo bar", "[[^name Foo, ^name bar]]"},
        {"case:*.TXT", "[[^name *.TXT]]"},
        {"regex: a.b c", "[[regex a.b, regex c]]"},
        {"regex:a.b c", "[[regex a.b, name c]]"},
        {"regex: *.txt \"x*\"", "[[regex *.txt, glob x*]]"},
        {"regex:[", "[[regex []]"},
        {"case: a | b", "[[^name a], [^name b]]"},
        {"regex: a | b", "[[regex a], [regex b]]"},
        {"case: a nocase: b", "[[^name a, name b]]"},
        {"case: a nocase:B c", "[[^name a, name B, name c]]"},
        {"case: ext:MP3 \"Q\"", "[[^ext(mp3), ^name Q]]"},
        // Keys, aliases and values.
        {"EXT:MP3,.Flac;;", "[[ext(mp3,flac)]]"},
        {"ext:..tar.gz..", "[[ext(tar.gz)]]"},
        {"ext:.", "[[ext('')]]"},
        {"ext:.;mp3", "[[ext('',mp3)]]"},
        {"ext:", "error: ext: needs a value"},
        {"ext:;,", "error: ext: needs a value"},
        {"foo:bar", "[[name foo:bar]]"},
        {"foo:*.txt", "[[glob foo:*.txt]]"},
        {"10:30", "[[name 10:30]]"},
        {":x", "[[name :x]]"},
        {"!:x", "[[!name :x]]"},
        {"path:a:b", "[[path a:b]]"},
        {"in:Music", "[[path Music]]"},
        {"path:", "error: path: needs a value"},
        {"in:", "error: path: needs a value"},
        {"folder:", "[[kind dir]]"},
        {"folder:*.txt", "[[kind dir, name *.txt]]"},
        {"file:x", "[[kind file, name x]]"},
        {"file:", "[[kind file]]"},
        {"junk:", "[[junk]]"},
        {"junk:whatever", "[[junk]]"},
        {"content:invoice", "[[content invoice]]"},
        {"content:", "error: content: needs a value"},
        {"size:>1k", "[[size[1025,18446744073709551615]]]"},
        {"Size:1..2", "[[size[1,2]]]"},
        {"size:", "error: size: "},
        {"size:1.5 gb", "[[size[1,1], name gb]]"},
        {"size:\"1.5 gb\"", "error: size: 1.5 gb"},
        {"dm:2024", "[[date[1704067200,1735689599]]]"},
        {"datemodified:2024", "[[date[1704067200,1735689599]]]"},
        {"dm:today", "[[date[1715731200,1715817599]]]"},
        {"dm:", "error: dm: "},
        {"dm:2023-02-29", "error: dm: 2023-02-29"},
        {"bitrate:320", "[[bitrate[320,320]]]"},
        {"br:320", "[[bitrate[320,320]]]"},
        {"br:", "error: bitrate: "},
        {"bpm:128", "[[bpm[1276,1284]]]"},
        {"bpm:", "error: bpm: "},
        {"dur:3:30", "[[dur[210000,210999]]]"},
        {"duration:90", "[[dur[90000,90999]]]"},
        {"length:90", "[[dur[90000,90999]]]"},
        {"length:", "error: dur: "},
        {"year:2020", "[[year[2020,2020]]]"},
        {"year:", "error: year: "},
        {"samplerate:44.1", "[[rate[44100,44100]]]"},
        {"rate:48k", "[[rate[48000,48000]]]"},
        {"sr:48k", "[[rate[48000,48000]]]"},
        {"sr:", "error: samplerate: "},
        {"bits:24", "[[bits[24,24]]]"},
        {"bitdepth:24-bit", "[[bits[24,24]]]"},
        {"depth:24x", "error: bits: 24x"},
        {"bits:", "error: bits: "},
        {"channels:stereo", "[[channels[2,2]]]"},
        {"ch:x", "error: channels: x"},
        {"ch:", "error: channels: "},
        {"lossless:", "[[lossless=true]]"},
        {"lossless:Nein", "[[lossless=false]]"},
        {"lossless:ja", "[[lossless=true]]"},
        {"lossless:0", "[[lossless=false]]"},
        {"lossless:maybe", "error: lossless: maybe"},
        {"lossless:MAYBE", "error: lossless: MAYBE"},
        {"artist:\"Daft Punk\"", "[[artist=Daft Punk]]"},
        {"Title:One", "[[title=One]]"},
        {"album:x genre:y key:Am codec:FLAC", "[[album=x, genre=y, key=Am, codec=FLAC]]"},
        {"Genre:", "error: genre: needs a value"},
        {"KEY:", "error: key: needs a value"},
        {"codec:", "error: codec: needs a value"},
        {"artist:", "error: artist: needs a value"},
        {"title:", "error: title: needs a value"},
        {"album:", "error: album: needs a value"},
        {"junk:whatever x", "[[junk, name x]]"},
        // Grapheme clusters: a special character followed by a combining mark is a letter.
        {"\"" + kAcute + "abc", "[[name \"" + kAcute + "abc]]"},
        {"a|" + kAcute + "b", "[[name a|" + kAcute + "b]]"},
        {"!" + kAcute + "x", "[[name !" + kAcute + "x]]"},
        {"ext:" + kAcute, "[[name ext:" + kAcute + "]]"},
        {"a " + kAcute + "b", "[[name a " + kAcute + "b]]"},
        // Invalid UTF-8 passes into the term unchanged.
        {"\xFF\xFE|\xC3", "[[name \xFF\xFE], [name \xC3]]"},
        {"!\x80:x", "[[!name \x80:x]]"},
        // Errors abort the whole parse.
        {"a ext:", "error: ext: needs a value"},
        {"size:1 | dm:x", "error: dm: x"},
        // Groups with their values.
        {"size:>1k ext:mp3 | dm:2024", "[[size[1025,18446744073709551615], ext(mp3)], [date[1704067200,1735689599]]]"},
    };
    for (const auto& c : cases) EXPECT_EQ(parsed(c.text), c.expected) << "search text: " << c.text;
}

TEST(QueryParser, Tokens) {
    using T = QueryParser::Token;
    struct Case {
        std::string text;
        std::vector<T> tokens;
    };
    const Case cases[] = {
        {"\"abc\"", {{"abc", true, false}}},
        {"\"\"abc", {{"abc", true, false}}},
        {"ab\"c d\"", {{"abc d", false, false}}},
        {"\"\"", {{"", true, false}}},
        {"a\"\" b", {{"a", false, false}, {"b", false, false}}},
        {"\"my file", {{"my file", true, false}}},
        {"\"a|b\"", {{"a|b", true, false}}},
        {"x \"a b\"y", {{"x", false, false}, {"a by", true, false}}},
        {"\" \"", {{" ", true, false}}},
        {"a|b", {{"a", false, false}, {"|", false, true}, {"b", false, false}}},
        {"\"a\"|", {{"a", true, false}, {"|", false, true}}},
        {" | ", {{"|", false, true}}},
        {"a\nb\r\nc", {{"a\nb\r\nc", false, false}}},
        {"  \t ", {}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(QueryParser::tokenize(c.text), c.tokens) << "text: " << c.text;
}

TEST(QueryParser, SameTextSameQuery) {
    const std::string text = "size:>1k case: Foo | !ext:mp3 dm:yesterday bpm:120..130";
    EXPECT_EQ(QueryParser::parse(text, kNow, utc()), QueryParser::parse(text, kNow, utc()));
    EXPECT_NE(QueryParser::parse("a b", kNow, utc()), QueryParser::parse("b a", kNow, utc()));
}

}  // namespace
}  // namespace quorvanta::core
