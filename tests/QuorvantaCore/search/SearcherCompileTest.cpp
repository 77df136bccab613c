#include "QuorvantaCore/search/Searcher.h"

#include "tests/QuorvantaCore/search/InMemoryIndex.h"
#include "tests/QuorvantaCore/search/SearcherTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

using namespace test;

constexpr std::uint8_t kDir = FIDX_FOLDER;

// root /r: My Photos/{a.jpg, sub/{b.jpg}}, photos-list.txt, other/{c.jpg}, Photos2024/{d}
std::vector<IndexEntry> photoTree() {
    return {
        {"/r", FIDX_NONE},        // 0
        {"My Photos", 0, kDir},   // 1
        {"photos-list.txt", 0},   // 2
        {"other", 0, kDir},       // 3
        {"Photos2024", 0, kDir},  // 4
        {"a.jpg", 1},             // 5
        {"sub", 1, kDir},         // 6
        {"c.jpg", 3},             // 7
        {"d", 4},                 // 8
        {"b.jpg", 6},             // 9
    };
}

std::vector<std::uint32_t> run(Searcher& searcher, std::vector<Term> group, bool showJunk = false) {
    return hitsOrMarker(searcher.search(query({std::move(group)}), showJunk));
}

TEST(SearcherCompile, OpsAreOrderedByCostKeepingTypedOrderAmongEqualCosts) {
    Searcher searcher(buildIndex(photoTree()));
    using K = Searcher::K;
    auto k = [](K kind) { return std::to_string(static_cast<int>(kind)); };
    struct Case {
        std::vector<Term> group;
        std::string kinds;
    } cases[] = {
        {{extTerm({"jpg"}), nameTerm("foo"), kindTerm(true)}, k(K::kind) + "," + k(K::ext) + "," + k(K::name)},
        {{regexTerm("x"), pathTerm("a/b"), pathTerm("ab"), globTerm("*a"), nameTerm("a", true),
          audioTerm(AudioCond(AudioCond::Field::bpm)), junkTerm()},
         k(K::junk) + "," + k(K::audio) + "," + k(K::nameCS) + "," + k(K::glob) + "," + k(K::pathDir) + "," +
             k(K::pathFull) + "," + k(K::regex)},
        // The content term's prefilter sorts among the cost-1 ops at the term's own position.
        {{sizeTerm(1, 2), contentTerm("x"), extTerm({"jpg"}), dateTerm(1, 2)},
         k(K::size) + "," + k(K::ext) + "," + k(K::ext) + "," + k(K::date) + "," + k(K::content)},
        // A negated content term has no prefilter.
        {{sizeTerm(1, 2), negated(contentTerm("x")), extTerm({"jpg"})},
         k(K::size) + "," + k(K::ext) + "," + k(K::content)},
        {{}, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(kinds(*searcher.compile(c.group, 10)), c.kinds) << c.kinds;

    // Two name terms keep their typed order; the prefilter of a plain content term is not negated.
    const auto names = searcher.compile({nameTerm("Zed"), nameTerm("ALPHA")}, 10);
    ASSERT_EQ(names->ops.size(), 2u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(names->ops[0].p), names->ops[0].n), "zed");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(names->ops[1].p), names->ops[1].n), "alpha");
    const auto content = searcher.compile({negated(nameTerm("a")), negated(contentTerm("x"))}, 10);
    EXPECT_EQ(content->keep.size(), 1u);
    const auto plain = searcher.compile({contentTerm("x")}, 10);
    ASSERT_EQ(plain->ops.size(), 2u);
    EXPECT_FALSE(plain->ops[0].neg);
}

TEST(SearcherCompile, ExclusionMaskTable) {
    struct Case {
        std::vector<Term> group;
        bool showJunk;
        std::uint8_t mask;
    } cases[] = {
        {{junkTerm()}, false, 0x90},
        {{junkTerm()}, true, 0x90},
        {{negated(junkTerm()), extTerm({"jpg"})}, true, 0x90},
        {{negated(junkTerm())}, false, 0x90},
        {{nameTerm("a")}, false, 0x9A},
        {{extTerm({"jpg"})}, false, 0x9A},
        {{nameTerm("a")}, true, 0x90},
        {{}, true, 0x90},
        {{}, false, 0x9A},
        {{nameTerm("a"), extTerm({"jpg"})}, true, 0x98},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(Searcher::excludeMask(cases[i].group, cases[i].showJunk), cases[i].mask) << "case " << i;
}

TEST(SearcherCompile, HiddenAndJunkEntriesFollowTheMask) {
    Searcher searcher(buildIndex({
        {"/r", FIDX_NONE},
        {"a.jpg", 0},                               // 1
        {".b.jpg", 0, FIDX_HIDDEN},                 // 2
        {"._c.jpg", 0, FIDX_JUNK},                  // 3
        {".DS_Store", 0, FIDX_JUNK | FIDX_HIDDEN},  // 4
        {"gone.jpg", 0, FIDX_DELETED},              // 5
    }));
    struct Case {
        std::vector<Term> group;
        bool showJunk;
        std::vector<std::uint32_t> hits;
    } cases[] = {
        {{}, false, {1}},
        {{}, true, {1, 2, 3, 4}},
        {{extTerm({"jpg"})}, true, {1, 2}},
        {{extTerm({"jpg"})}, false, {1}},
        {{junkTerm()}, false, {3, 4}},
        {{negated(junkTerm())}, false, {1, 2}},
        {{negated(junkTerm()), extTerm({"jpg"})}, true, {1, 2}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(run(searcher, cases[i].group, cases[i].showJunk), cases[i].hits) << "case " << i;
}

TEST(SearcherCompile, PathTermsMarkFoldersAndTheirContentsOrSearchTheFullPath) {
    Searcher searcher(buildIndex(photoTree()));
    struct Case {
        Term term;
        std::vector<std::uint32_t> hits;
    } cases[] = {
        {pathTerm("photos"), {1, 2, 4, 5, 6, 8, 9}},
        {pathTerm("PHOTOS", true), {1, 2, 4, 5, 6, 8, 9}},  // folded whatever the case flag
        {pathTerm("/photos"), {2, 4, 8}},
        {pathTerm("/MY PHOTOS/SUB/", true), {9}},
        {negated(pathTerm("photos")), {3, 7}},
        {pathTerm("sub"), {6, 9}},
    };
    for (const Case& c : cases) {
        const auto& text = std::get<Pred::Path>(c.term.pred.value).text;
        EXPECT_EQ(run(searcher, {c.term}), c.hits) << text;
    }
    const auto set = searcher.compile({pathTerm("photos")}, 10);
    ASSERT_EQ(set->ops.size(), 1u);
    const std::vector<std::uint8_t> marks(set->ops[0].aux, set->ops[0].aux + 11);
    EXPECT_EQ(marks, (std::vector<std::uint8_t>{0, 1, 0, 0, 1, 0, 1, 0, 0, 0, 0}));
}

TEST(SearcherCompile, NameGlobAndRegexTermsCompareTheRightText) {
    Searcher searcher(buildIndex({
        {"/r", FIDX_NONE},
        {"Café.TXT", 0},         // 1
        {"cafe.txt", 0},         // 2
        {"CAFE\xCC\x81.md", 0},  // 3, decomposed accent
        {"bad\xFF\xFE.txt", 0},  // 4, not UTF-8
        {"Straße.pdf", 0},       // 5
        {"notes", 0, kDir},      // 6
    }));
    struct Case {
        std::vector<Term> group;
        std::vector<std::uint32_t> hits;
    } cases[] = {
        {{nameTerm("CAFE")}, {1, 2, 3}},
        {{nameTerm("Café", true)}, {1}},
        {{nameTerm("cafe", true)}, {2}},
        {{globTerm("*.TXT", true)}, {1, 2, 4}},  // folded whatever the case flag
        {{globTerm("caf?.txt")}, {1, 2}},        // the fill after a shortened fold is not text
        {{globTerm("stra*")}, {5}},
        {{regexTerm("É")}, {1}},                // precomposed: not the decomposed name 3
        {{regexTerm("^caf.\\.txt$")}, {1, 2}},  // "." is one whole character
        {{regexTerm("É", true)}, {}},
        {{regexTerm("^bad")}, {4}},
        {{regexTerm("[.]md$|notes")}, {3, 6}},
        {{regexTerm("("), nameTerm("txt")}, {1, 2, 4}},  // an invalid expression is dropped
        {{negated(regexTerm("(")), nameTerm("txt")}, {1, 2, 4}},
        {{extTerm({"TXT"})}, {1, 2, 4}},
        {{extTerm({"nope"})}, {}},
        {{extTerm({})}, {}},
        {{negated(extTerm({}))}, {1, 2, 3, 4, 5, 6}},
        {{kindTerm(true)}, {6}},
        {{negated(kindTerm(true)), nameTerm("a")}, {1, 2, 3, 4, 5}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(run(searcher, cases[i].group), cases[i].hits) << "case " << i;
}

TEST(SearcherCompile, SizeDateAndAudioTermsOnAnEmptyAndAFilledIndex) {
    Searcher empty(buildIndex({}));
    const auto set = empty.compile({audioTerm(AudioCond(AudioCond::Field::bpm)), pathTerm("a")}, 0);
    ASSERT_EQ(set->bufs.size(), 3u);  // the path bytes, the folder marks, the audio mask
    for (const auto& buf : set->bufs) EXPECT_EQ(buf.size(), 1u);
    EXPECT_EQ(run(empty, {}), std::vector<std::uint32_t>{});

    Searcher searcher(buildIndex({
        {"/r", FIDX_NONE},
        {"small", 0, 0, 10, 100},
        {"big", 0, 0, 5000, 200},
        {"huge", 0, 0, ~std::uint64_t(0), 0xFFFFFFFF},
    }));
    EXPECT_EQ(run(searcher, {sizeTerm(10, 5000)}), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(run(searcher, {sizeTerm(5001, ~std::uint64_t(0))}), (std::vector<std::uint32_t>{3}));
    EXPECT_EQ(run(searcher, {dateTerm(100, 199)}), (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(run(searcher, {negated(dateTerm(100, 199))}), (std::vector<std::uint32_t>{2, 3}));
    // Without an audio table a plain audio term matches nothing and a negated one excludes nothing.
    EXPECT_EQ(run(searcher, {audioTerm(AudioCond(AudioCond::Field::bpm))}), std::vector<std::uint32_t>{});
    EXPECT_EQ(run(searcher, {negated(audioTerm(AudioCond(AudioCond::Field::bpm)))}),
              (std::vector<std::uint32_t>{1, 2, 3}));
}

TEST(SearcherCompile, LiteralRunTable) {
    struct Case {
        std::string pattern;
        std::string run;
    } cases[] = {
        {"a*bcd?ef", "bcd"}, {"ab*cd", "ab"},   {"*?**", ""},    {"", ""},
        {"abc", "abc"},      {"*.mp3", ".mp3"}, {"?x*yz", "yz"},
    };
    for (const Case& c : cases) EXPECT_EQ(Searcher::literalRun(c.pattern), c.run) << c.pattern;
}

}  // namespace
}  // namespace quorvanta::core
