// The parser reads untrusted text (search field, local API, command line): every input must give
// a query that keeps the model's invariants, or a QueryError, and never crash or hang. The same
// checks run in the libFuzzer harness tests/fuzz/fuzz_query_parser.cpp.
#include "QuorvantaCore/query/QueryParser.h"

#include "tests/QuorvantaCore/query/QueryPrinter.h"
#include "tests/fuzz/QueryInvariants.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

using namespace std::chrono;
using test::brokenInvariant;

std::string randomText(std::mt19937& rng, std::size_t pieces) {
    static const std::vector<std::string> atoms = {
        // The grammar's special characters.
        " ",
        " ",
        " ",
        "\t",
        "\n",
        "\"",
        "\"",
        "|",
        "!",
        "!",
        ":",
        ":",
        "..",
        ".",
        ",",
        ";",
        "-",
        ">",
        "<",
        "=",
        ">=",
        "<=",
        "*",
        "?",
        "+",
        // Keys, with and without aliases, in several cases.
        "case:",
        "nocase:",
        "regex:",
        "ext:",
        "EXT:",
        "size:",
        "dm:",
        "datemodified:",
        "path:",
        "in:",
        "folder:",
        "file:",
        "junk:",
        "content:",
        "bitrate:",
        "br:",
        "bpm:",
        "dur:",
        "duration:",
        "length:",
        "year:",
        "samplerate:",
        "rate:",
        "sr:",
        "bits:",
        "bitdepth:",
        "depth:",
        "channels:",
        "ch:",
        "lossless:",
        "artist:",
        "title:",
        "album:",
        "genre:",
        "key:",
        "codec:",
        "Genre:",
        "foo:",
        // Digits, units and words that values read.
        "0",
        "1",
        "2",
        "5",
        "9",
        "24",
        "128",
        "2024",
        "1969",
        "12",
        "31",
        "99999999999999999999",
        "9223372036854775807",
        "k",
        "kb",
        "mib",
        "gb",
        "t",
        "b",
        "hz",
        "khz",
        "ms",
        "min",
        "h",
        "std",
        "bit",
        "-bit",
        "kbps",
        "mono",
        "stereo",
        "today",
        "yesterday",
        "ja",
        "nein",
        "inf",
        "nan",
        "e",
        "e308",
        "mp3",
        // Combining marks, CJK, other numerals and invalid UTF-8.
        "\xCC\x81",
        "\xCC\x88",
        "\xE6\x96\x87",
        "\xE5\xAD\x97",
        "\xC2\xBD",
        "\xD9\xA1",
        "\xEF\xBC\x91",
        "\xC2\xA0",
        "\xE2\x80\xA8",
        "\xFF",
        "\x80",
        "\xC3",
        "\xE2\x82",
        "\xF0\x9F\x98",
        "\xED\xA0\x80",
        std::string(1, '\0'),
    };
    std::string text;
    for (std::size_t i = 0; i < pieces; ++i) text += atoms[rng() % atoms.size()];
    return text;
}

TEST(QueryParserRobustness, RandomTextsParseOrFail) {
    const auto calendars = {*Calendar::named("UTC"), *Calendar::named("Europe/Berlin"),
                            *Calendar::named("America/Sao_Paulo")};
    const system_clock::time_point now = sys_days{2024y / May / 15} + 12h;
    std::mt19937 rng(17018);
    int queries = 0;
    int errors = 0;
    for (int i = 0; i < 20000; ++i) {
        // Most texts are short, as typed; one in a hundred runs to several KiB.
        const std::size_t pieces = i % 100 == 99 ? 1000 + rng() % 3000 : 1 + rng() % 12;
        const std::string text = randomText(rng, pieces);
        const Calendar& calendar = *(calendars.begin() + rng() % calendars.size());
        try {
            const Query query = QueryParser::parse(text, now, calendar);
            ++queries;
            const std::string broken = brokenInvariant(query);
            ASSERT_TRUE(broken.empty()) << broken << " in " << test::printed(query) << " from: " << text;
        } catch (const QueryError& e) {
            ++errors;
            ASSERT_FALSE(e.message().empty()) << "from: " << text;
        }
    }
    // Both outcomes are common, so both paths were exercised.
    EXPECT_GT(queries, 2000);
    EXPECT_GT(errors, 2000);
}

// Every single byte value, alone and around the special characters.
TEST(QueryParserRobustness, EveryByte) {
    const auto calendar = *Calendar::named("UTC");
    const system_clock::time_point now = sys_days{2024y / May / 15} + 12h;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        for (const std::string& text : {byte, "!" + byte, "ext:" + byte, "\"" + byte, byte + ":" + byte,
                                        "dur:" + byte + ":" + byte, "size:" + byte + ".." + byte}) {
            try {
                EXPECT_EQ(brokenInvariant(QueryParser::parse(text, now, calendar)), "") << "byte " << b;
            } catch (const QueryError&) {}
        }
    }
}

}  // namespace
}  // namespace quorvanta::core
