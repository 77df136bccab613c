#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/content/ContentIndex.h"
#include "QuorvantaCore/search/Searcher.h"

#include "tests/QuorvantaCore/search/InMemoryIndex.h"
#include "tests/QuorvantaCore/search/SearcherTestSupport.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

using namespace test;
using Hits = std::vector<std::uint32_t>;

// 400 files named "file<i>.dat" and a few with "rep" in their names, under one folder.
std::vector<IndexEntry> wordTree() {
    std::vector<IndexEntry> entries{{"/r", FIDX_NONE}, {"docs", 0, FIDX_FOLDER}};
    for (int i = 0; i < 400; ++i) entries.push_back({"file" + std::to_string(i) + ".dat", 1});
    for (const char* name : {"report.txt", "repo", "Repository.md", "prep.txt", "reptile.jpg", "REPORT-2.txt",
                             "가방.txt", "\xE1\x84\x80.txt"})
        entries.push_back({name, 1});
    return entries;
}

Hits fresh(const std::shared_ptr<VolumeIndex>& index, const Query& q, bool showJunk = false) {
    Searcher searcher(index);
    return hitsOrMarker(searcher.search(q, showJunk));
}

TEST(SearcherEval, ChunksCoverEveryEntryContiguously) {
    EXPECT_EQ(Searcher::chunks(10000, 1), (std::vector<Searcher::Range>{{0, 5000}, {5000, 10000}}));
    EXPECT_EQ(Searcher::chunks(0, 8), (std::vector<Searcher::Range>{{0, 0}}));
    EXPECT_EQ(Searcher::chunks(4095, 8), (std::vector<Searcher::Range>{{0, 4095}}));
    EXPECT_EQ(Searcher::chunks(100, 0), (std::vector<Searcher::Range>{{0, 100}}));
    for (const auto& [n, threads, k] : std::vector<std::tuple<std::uint32_t, int, std::size_t>>{
             {67108864, 256, 512}, {0xFFFFFFFFu, 256, 512}, {9000, 8, 3}}) {
        const auto ranges = Searcher::chunks(n, threads);
        ASSERT_EQ(ranges.size(), k) << n;
        std::uint32_t next = 0;
        for (const auto& r : ranges) {
            EXPECT_EQ(r.lo, next) << n;
            EXPECT_LE(r.lo, r.hi) << n;
            next = r.hi;
        }
        EXPECT_EQ(next, n);
    }
}

TEST(SearcherEval, GroupsEmptyQueriesAndNeedles) {
    const auto index = buildIndex({
        {"/r", FIDX_NONE},
        {"foo.txt", 0},                   // 1
        {"bar.txt", 0},                   // 2
        {"foobar", 0},                    // 3
        {".hidden-foo", 0, FIDX_HIDDEN},  // 4
        {"old-foo", 0, FIDX_DELETED},     // 5
    });
    struct Case {
        const char* what;
        Query q;
        bool showJunk;
        Hits hits;
    } cases[] = {
        {"OR gives each id once", query({{nameTerm("foo")}, {nameTerm("bar")}, {nameTerm("o")}}), false, {1, 2, 3}},
        {"empty query", query({}), false, {1, 2, 3}},
        {"empty query, junk shown", query({}), true, {1, 2, 3, 4}},
        {"empty name first", query({{nameTerm(""), nameTerm("foo")}}), false, {1, 3}},
        {"empty name last", query({{nameTerm("foo"), nameTerm("")}}), false, {1, 3}},
        {"empty name alone", query({{nameTerm("")}}), false, {1, 2, 3}},
        {"lone combining mark", query({{nameTerm("\xCC\x81"), nameTerm("bar")}}), false, {2, 3}},
        {"glob literal run as needle", query({{globTerm("*.txt"), nameTerm("o")}}), false, {1}},
        {"negated name scans all", query({{negated(nameTerm("foo"))}}), false, {2}},
        {"negated glob", query({{negated(globTerm("*.txt"))}}), false, {3}},
        {"wildcards only", query({{globTerm("*")}}), false, {1, 2, 3}},
        {"case-sensitive needle", query({{nameTerm("FOO", true)}}), false, {}},
    };
    for (const Case& c : cases) {
        Searcher searcher(index);
        for (const int threads : {1, 3}) {
            searcher.threads = threads;
            EXPECT_EQ(hitsOrMarker(searcher.search(c.q, c.showJunk)), c.hits) << c.what << ", threads " << threads;
        }
    }
}

TEST(SearcherNarrowing, TypingNarrowsWhereSoundAndGivesWhatAFreshSearchGives) {
    const auto index = buildIndex(wordTree());
    const Term category = extTerm({"txt", "md"});
    struct Step {
        Query q;
        bool narrows;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
    } cases[] = {
        {"typing a word",
         {{query({{nameTerm("r")}}), false},
          {query({{nameTerm("re")}}), true},
          {query({{nameTerm("rep")}}), true},
          {query({{nameTerm("repo")}}), true},
          {query({{nameTerm("REPOR")}}), true},
          {query({{nameTerm("report")}}), true}}},
        {"with a category term",
         {{query({{nameTerm("rep"), category}}), false}, {query({{nameTerm("repo"), category}}), true}}},
        {"shorter", {{query({{nameTerm("repo")}}), false}, {query({{nameTerm("rep")}}), false}}},
        {"negated", {{query({{negated(nameTerm("rep"))}}), false}, {query({{negated(nameTerm("repo"))}}), false}}},
        {"a star added", {{query({{nameTerm("rep")}}), false}, {query({{globTerm("rep*")}}), false}}},
        {"case flag changed", {{query({{nameTerm("rep")}}), false}, {query({{nameTerm("repo", true)}}), false}}},
        {"two terms changed",
         {{query({{nameTerm("rep"), nameTerm("t")}}), false}, {query({{nameTerm("repo"), nameTerm("tx")}}), false}}},
        {"unchanged", {{query({{nameTerm("rep")}}), false}, {query({{nameTerm("rep")}}), true}}},
        {"unchanged without a name term", {{query({{extTerm({"txt"})}}), false}, {query({{extTerm({"txt"})}}), false}}},
        // A vowel typed after a leading consonant composes one syllable: the folded text no longer
        // contains the old one, although its bytes begin with it.
        {"composing keystroke",
         {{query({{nameTerm("\xE1\x84\x80")}}), false}, {query({{nameTerm("\xE1\x84\x80\xE1\x85\xA1")}}), false}}},
        {"OR query", {{query({{nameTerm("rep")}}), false}, {query({{nameTerm("repo")}, {nameTerm("x")}}), false}}},
    };
    for (const Case& c : cases) {
        Searcher searcher(index);
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const std::uint64_t before = searcher.narrowingsForTesting();
            const Hits hits = hitsOrMarker(searcher.search(c.steps[i].q, false));
            EXPECT_EQ(hits, fresh(index, c.steps[i].q)) << c.what << ", step " << i;
            EXPECT_EQ(searcher.narrowingsForTesting() - before, c.steps[i].narrows ? 1u : 0u)
                << c.what << ", step " << i;
        }
    }
    // The syllable is found only by a full evaluation.
    EXPECT_EQ(fresh(index, query({{nameTerm("\xE1\x84\x80\xE1\x85\xA1")}})).size(), 1u);
}

// 40,000 files in eight folders, one of them named "dd-zz". "qq" is in every name of one run of
// a thousand files in ten and in every fiftieth name elsewhere; "zz" (as "zz" or "ZZ") in every
// name of some runs of 500, every third or every 97th name of others, and in none of the rest.
// Every 211th file is deleted. So the ops that filter the candidates meet dense runs of names
// and sparse ones, in blocks of every size.
std::vector<IndexEntry> runsTree() {
    std::vector<IndexEntry> entries{{"/r", FIDX_NONE}};
    for (int k = 0; k < 8; ++k) entries.push_back({k == 3 ? "dd-zz" : "dir" + std::to_string(k), 0, FIDX_FOLDER});
    for (std::uint32_t i = 0; i < 40000; ++i) {
        std::string name = "f" + std::to_string(i);
        if ((i / 1000) % 10 == 0 || i % 50 == 0) name += "-qq";
        const std::uint32_t run = (i / 500) % 4;
        if (run == 0 || (run == 1 && i % 3 == 0) || (run == 2 && i % 97 == 0)) name += i % 2 ? "-zz" : "-ZZ";
        entries.push_back({name + ".dat", 1 + i / 5000, std::uint8_t(i % 211 == 0 ? FIDX_DELETED : 0)});
    }
    return entries;
}

TEST(SearcherBlocks, OpsOverDenseAndSparseRunsGiveWhatEachNameGives) {
    const std::vector<IndexEntry> entries = runsTree();
    const auto index = buildIndex(entries);
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    auto has = [](const std::string& hay, const char* needle) { return hay.find(needle) != std::string::npos; };
    auto folded = [&](std::uint32_t e) { return lower(entries[e].name); };
    auto below = [&](std::uint32_t e, const char* text) {
        for (std::uint32_t a = e; a != FIDX_NONE; a = entries[a].parent)
            if (has(lower(entries[a].name), text)) return true;
        return false;
    };
    struct Case {
        const char* what;
        Query q;
        std::function<bool(std::uint32_t)> holds;
    };
    const Case cases[] = {
        {"two name terms", query({{nameTerm("qq"), nameTerm("zz")}}),
         [&](std::uint32_t e) { return has(folded(e), "qq") && has(folded(e), "zz"); }},
        {"a second term every name holds", query({{nameTerm("qq"), nameTerm(".dat")}}),
         [&](std::uint32_t e) { return has(folded(e), "qq"); }},
        {"the second negated", query({{nameTerm("qq"), negated(nameTerm("zz"))}}),
         [&](std::uint32_t e) { return has(folded(e), "qq") && !has(folded(e), "zz"); }},
        {"the second case-sensitive", query({{nameTerm("qq"), nameTerm("ZZ", true)}}),
         [&](std::uint32_t e) { return has(folded(e), "qq") && has(entries[e].name, "ZZ"); }},
        {"three name terms", query({{nameTerm("qq"), nameTerm("z"), nameTerm("1")}}),
         [&](std::uint32_t e) { return has(folded(e), "qq") && has(folded(e), "z") && has(folded(e), "1"); }},
        {"a folder term", query({{nameTerm("qq"), pathTerm("zz")}}),
         [&](std::uint32_t e) { return has(folded(e), "qq") && below(e, "zz"); }},
        {"a negated folder term", query({{nameTerm("qq"), negated(pathTerm("zz"))}}),
         [&](std::uint32_t e) { return has(folded(e), "qq") && !below(e, "zz"); }},
        {"a wildcard of stars only", query({{nameTerm("qq"), globTerm("**")}}),
         [&](std::uint32_t e) { return has(folded(e), "qq"); }},
        {"the needle from the second term", query({{negated(nameTerm("qq")), nameTerm("zz")}}),
         [&](std::uint32_t e) { return !has(folded(e), "qq") && has(folded(e), "zz"); }},
        {"a shorter name term before a longer one", query({{nameTerm("z"), nameTerm("qq-z")}}),
         [&](std::uint32_t e) { return has(folded(e), "qq-z"); }},
        {"two groups", query({{nameTerm("qq")}, {nameTerm("zz")}}),
         [&](std::uint32_t e) { return has(folded(e), "qq") || has(folded(e), "zz"); }},
        {"three groups whose hits overlap",
         query({{nameTerm("q")}, {nameTerm("zz"), pathTerm("dd")}, {nameTerm("qq")}}),
         [&](std::uint32_t e) { return has(folded(e), "q") || (has(folded(e), "zz") && below(e, "dd")); }},
        {"a folder term that marks no folder", query({{pathTerm("qq")}}),
         [&](std::uint32_t e) { return has(folded(e), "qq"); }},
        {"the same negated", query({{nameTerm("zz"), negated(pathTerm("qq"))}}),
         [&](std::uint32_t e) { return has(folded(e), "zz") && !has(folded(e), "qq"); }},
    };
    auto expected = [&](const std::function<bool(std::uint32_t)>& holds) {
        Hits out;
        for (std::uint32_t e = 1; e < entries.size(); ++e)
            if (!(entries[e].flags & FIDX_DELETED) && holds(e)) out.push_back(e);
        return out;
    };
    for (const int threads : {1, 8}) {
        for (const Case& c : cases) {
            Searcher searcher(index);
            searcher.threads = threads;
            const Hits want = expected(c.holds);
            ASSERT_FALSE(want.empty()) << c.what;
            EXPECT_EQ(hitsOrMarker(searcher.search(c.q, false)), want) << c.what << ", threads " << threads;
        }
        // Typed: each step narrows the hits of the one before, over more than one block of them.
        Searcher searcher(index);
        searcher.threads = threads;
        const std::vector<std::pair<Query, std::function<bool(std::uint32_t)>>> steps = {
            {query({{nameTerm("q")}}), [&](std::uint32_t e) { return has(folded(e), "q"); }},
            {query({{nameTerm("qq")}}), [&](std::uint32_t e) { return has(folded(e), "qq"); }},
            {query({{nameTerm("q"), pathTerm("zz")}}),
             [&](std::uint32_t e) { return has(folded(e), "q") && below(e, "zz"); }},
            {query({{nameTerm("qq"), pathTerm("zz")}}),
             [&](std::uint32_t e) { return has(folded(e), "qq") && below(e, "zz"); }},
        };
        ASSERT_GT(expected(steps[0].second).size(), 4096u) << "more candidates than one block";
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const std::uint64_t before = searcher.narrowingsForTesting();
            EXPECT_EQ(hitsOrMarker(searcher.search(steps[i].first, false)), expected(steps[i].second))
                << "step " << i << ", threads " << threads;
            if (i == 1 || i == 3) {
                EXPECT_EQ(searcher.narrowingsForTesting() - before, 1u) << "step " << i;
            }
        }
    }
}

TEST(SearcherNarrowing, NeverOnIndexesOfFewerThanEightEntries) {
    const auto index = buildIndex({{"/r", FIDX_NONE}, {"rep", 0}, {"repo", 0}, {"x", 0}, {"y", 0}, {"z", 0}, {"w", 0}});
    Searcher searcher(index);
    EXPECT_EQ(hitsOrMarker(searcher.search(query({{nameTerm("rep")}}), false)), (Hits{1, 2}));
    EXPECT_EQ(hitsOrMarker(searcher.search(query({{nameTerm("repo")}}), false)), (Hits{2}));
    EXPECT_EQ(searcher.narrowingsForTesting(), 0u);
}

TEST(SearcherNarrowing, ChangesOfTheIndexOrItsTablesForceAFullEvaluation) {
    const auto index = buildIndex(wordTree());
    Searcher searcher(index);
    const Query rep = query({{nameTerm("rep")}});
    const Query repo = query({{nameTerm("repo")}});
    ASSERT_TRUE(searcher.search(rep, false));

    // Entries appended: the count differs, and the new entry appears.
    appendEntries(*index, {{"repo-new", 1}});
    const std::uint32_t added = fidx_count(index->s()) - 1;
    auto hits = searcher.search(repo, false);
    ASSERT_TRUE(hits);
    EXPECT_EQ(hits->back(), added);
    EXPECT_EQ(searcher.narrowingsForTesting(), 0u);

    // The show-junk switch differs.
    ASSERT_TRUE(searcher.search(rep, true));
    ASSERT_TRUE(searcher.search(repo, false));
    EXPECT_EQ(searcher.narrowingsForTesting(), 0u);

    // An audio table attached, then an upsert: each forces a full evaluation, and the new
    // audio hit appears.
    AudioCond artist(AudioCond::Field::artist);
    artist.text = "Band";
    const Query audioRep = query({{audioTerm(artist), nameTerm("rep")}});
    const Query audioRepo = query({{audioTerm(artist), nameTerm("repo")}});
    ASSERT_EQ(hitsOrMarker(searcher.search(audioRep, false)), Hits{});
    auto table = std::make_shared<AudioTable>();
    AudioMeta meta;
    meta.artist = "The Band";
    meta.durationMs = 1000;
    table->upsert({{added, 1, meta}});
    index->setAudio(table);
    EXPECT_EQ(hitsOrMarker(searcher.search(audioRepo, false)), Hits{added});
    const std::uint32_t repoEntry = added - 7;  // "repo"
    ASSERT_EQ(index->name(repoEntry), "repo");
    ASSERT_TRUE(searcher.search(audioRep, false));
    table->upsert({{repoEntry, 1, meta}});
    EXPECT_EQ(hitsOrMarker(searcher.search(audioRepo, false)), (Hits{repoEntry, added}));
    EXPECT_EQ(searcher.narrowingsForTesting(), 0u);

    // Nothing changed: the same step narrows.
    ASSERT_TRUE(searcher.search(audioRep, false));
    EXPECT_EQ(hitsOrMarker(searcher.search(audioRepo, false)), (Hits{repoEntry, added}));
    EXPECT_EQ(searcher.narrowingsForTesting(), 1u);
}

TEST(SearcherNarrowing, ARefreshThatChangedEntriesForcesAFullEvaluation) {
    quorvanta::test::TempDir dir;
    const std::string root = (dir / "tree").string();
    dir.write("tree/report.txt", "small");
    dir.write("tree/repo.txt", "small");
    for (int i = 0; i < 40; ++i) dir.write("tree/other" + std::to_string(i) + ".txt", "x");
    const auto index = VolumeIndex::scanned({root}, 1);
    Searcher searcher(index);
    const Term big = sizeTerm(1000, ~std::uint64_t(0));
    EXPECT_EQ(hitsOrMarker(searcher.search(query({{big, nameTerm("rep")}}), false)), Hits{});
    // The file grows in place: same entry, same count, a new size.
    dir.write("tree/repo.txt", std::string(2000, 'x'));
    const std::int64_t before = index->mutations();
    index->refresh({root}, {}, 1);
    ASSERT_GT(index->mutations(), before);
    const auto hits = searcher.search(query({{big, nameTerm("repo")}}), false);
    ASSERT_TRUE(hits);
    ASSERT_EQ(hits->size(), 1u);
    EXPECT_EQ(index->name(hits->front()), "repo.txt");
    EXPECT_EQ(searcher.narrowingsForTesting(), 0u);
}

TEST(SearcherNarrowing, AContentWriteForcesAFullEvaluation) {
    quorvanta::test::TempDir dir;
    const std::string root = (dir / "tree").string();
    dir.write("tree/a/notes1.txt", "hello world");
    dir.write("tree/b/notes2.txt", "hello again");
    for (int i = 0; i < 40; ++i) dir.write("tree/a/other" + std::to_string(i) + ".txt", "other text");
    const auto index = VolumeIndex::scanned({root}, 1);
    auto content = std::make_shared<ContentIndex>((dir / "content.sqlite").string());
    content->update(*index, root, {root + "/a"});
    index->setContent(content);

    Searcher searcher(index);
    const Query before = query({{contentTerm("hello"), nameTerm("not")}});
    const Query after = query({{contentTerm("hello"), nameTerm("note")}});
    auto names = [&](const std::optional<Hits>& hits) {
        std::vector<std::string> out;
        for (const std::uint32_t e : hitsOrMarker(hits)) out.push_back(index->name(e));
        std::ranges::sort(out);  // the two files sit in two folders, in the order they were read
        return out;
    };
    EXPECT_EQ(names(searcher.search(before, false)), std::vector<std::string>{"notes1.txt"});
    // Widening the content folders writes notes2.txt and nothing else: the volume index is not
    // touched, only the content index's generation tells the searcher.
    ASSERT_EQ(content->update(*index, root, {root}), (ContentIndex::Stats{1, 0, 0, 41, false}));
    EXPECT_EQ(names(searcher.search(after, false)), (std::vector<std::string>{"notes1.txt", "notes2.txt"}));
    EXPECT_EQ(searcher.narrowingsForTesting(), 0u);
    // With nothing written since, the same step narrows.
    ASSERT_TRUE(searcher.search(before, false));
    EXPECT_EQ(names(searcher.search(after, false)), (std::vector<std::string>{"notes1.txt", "notes2.txt"}));
    EXPECT_EQ(searcher.narrowingsForTesting(), 1u);
    // Another content index attached: a full evaluation, whatever its generation.
    index->setContent(std::make_shared<ContentIndex>((dir / "other.sqlite").string()));
    EXPECT_EQ(names(searcher.search(after, false)), std::vector<std::string>{});
    EXPECT_EQ(searcher.narrowingsForTesting(), 1u);
}

// Blocks a searcher's first search at a test point until released.
class Latch {
public:
    explicit Latch(Searcher::TestPoint point) : point_(point) {}

    void attach(Searcher& searcher) {
        searcher.setHookForTesting([this](Searcher::TestPoint point, std::uint32_t, std::size_t) {
            if (point != point_) return;
            std::unique_lock lock(m_);
            if (used_) return;
            used_ = true;
            entered_ = true;
            cv_.notify_all();
            cv_.wait(lock, [&] { return released_; });
        });
    }
    void waitEntered() {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return entered_; });
    }
    void release() {
        std::lock_guard lock(m_);
        released_ = true;
        cv_.notify_all();
    }

private:
    const Searcher::TestPoint point_;
    std::mutex m_;
    std::condition_variable cv_;
    bool used_ = false;
    bool entered_ = false;
    bool released_ = false;
};

TEST(SearcherCancel, ANewerSearchCancelsTheOlderOne) {
    const auto index = buildIndex(wordTree());
    for (const int threads : {1, 4}) {
        Searcher searcher(index);
        searcher.threads = threads;
        Latch latch(Searcher::TestPoint::rangeStart);
        latch.attach(searcher);
        auto older = std::async(std::launch::async, [&] { return searcher.search(query({{nameTerm("rep")}}), false); });
        latch.waitEntered();
        const Query repo = query({{nameTerm("repo")}});
        EXPECT_EQ(hitsOrMarker(searcher.search(repo, false)), fresh(index, repo));
        latch.release();
        EXPECT_FALSE(older.get().has_value()) << "threads " << threads;
    }
}

TEST(SearcherCancel, CancelFromAnotherThreadAndAtRest) {
    const auto index = buildIndex(wordTree());
    const Query rep = query({{nameTerm("rep")}});
    const Query repo = query({{nameTerm("repo")}});
    Searcher searcher(index);
    searcher.cancel();  // before any search: nothing to stop
    EXPECT_EQ(hitsOrMarker(searcher.search(rep, false)), fresh(index, rep));
    searcher.cancel();  // after it returned: the cache stays
    EXPECT_EQ(hitsOrMarker(searcher.search(repo, false)), fresh(index, repo));
    EXPECT_EQ(searcher.narrowingsForTesting(), 1u);

    Latch latch(Searcher::TestPoint::rangeStart);
    latch.attach(searcher);
    auto running = std::async(std::launch::async, [&] { return searcher.search(query({{nameTerm("x")}}), false); });
    latch.waitEntered();
    std::thread([&] { searcher.cancel(); }).join();
    latch.release();
    EXPECT_FALSE(running.get().has_value());
    // The cancelled search left the cache of "repo" in place.
    EXPECT_EQ(hitsOrMarker(searcher.search(query({{nameTerm("report")}}), false)),
              fresh(index, query({{nameTerm("report")}})));
    EXPECT_EQ(searcher.narrowingsForTesting(), 2u);
}

TEST(SearcherCancel, ASearchSupersededAfterEvaluatingReturnsItsResultAndLeavesTheCache) {
    const auto index = buildIndex(wordTree());
    const Query rep = query({{nameTerm("rep")}});
    const Query prep = query({{nameTerm("prep")}});
    Searcher searcher(index);
    Latch latch(Searcher::TestPoint::evaluated);
    latch.attach(searcher);
    auto older = std::async(std::launch::async, [&] { return searcher.search(query({{nameTerm("report")}}), false); });
    latch.waitEntered();
    EXPECT_EQ(hitsOrMarker(searcher.search(rep, false)), fresh(index, rep));
    latch.release();
    EXPECT_EQ(hitsOrMarker(older.get()), fresh(index, query({{nameTerm("report")}})));
    // The cache is the newer search's: "prep" narrows from "rep" (it would not from "report").
    EXPECT_EQ(hitsOrMarker(searcher.search(prep, false)), fresh(index, prep));
    EXPECT_EQ(searcher.narrowingsForTesting(), 1u);
}

}  // namespace
}  // namespace quorvanta::core
