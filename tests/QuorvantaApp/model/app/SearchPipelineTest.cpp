// The search pipeline: generations, the three publications, the setters and what they start, when
// the global order is used, the two limits of 300,000 hits, sorting, and an oracle that checks the
// published rows of random queries against an order computed from the volumes' entries.
#include "QuorvantaApp/model/app/AppModel.h"

#include "QuorvantaCore/query/QueryParser.h"
#include "tests/QuorvantaApp/model/app/ModelTestSupport.h"
#include "tests/QuorvantaApp/model/search/MergeTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

namespace quorvanta::app::test {
namespace {

using core::SortKey;

TEST(SearchPipeline, OnlyTheNewestSearchPublishes) {
    for (const auto point : {core::Searcher::TestPoint::rangeStart, core::Searcher::TestPoint::evaluated}) {
        ModelWorld world;
        const auto model = world.make({"/srv/x"}, false);
        fill(*model->volumes.get()[0], {{"apple"}, {"apricot"}, {"banana"}});
        std::vector<std::shared_ptr<const ResultSet>> published;
        const auto watch = model->results.observe([&](const auto& results) { published.push_back(results); });

        // The first search is held inside its searcher (before its ranges, or after it evaluated
        // and found itself not cancelled), the second starts meanwhile, then the first goes on.
        Gate held;
        model->volumes.get()[0]->searcher()->setHookForTesting(
            [&, point](core::Searcher::TestPoint at, std::uint32_t, std::size_t) {
                if (at == point) held.hold();
            });
        model->setQuery("ap");
        held.waitUntilHeld();
        model->setQuery("ban");
        held.release();
        world.settle(*model);
        ASSERT_EQ(published.size(), 1u) << "the first search ends without publishing";
        EXPECT_EQ(rowNames(*published[0]), std::vector<std::string>{"0:banana"});
    }
}

TEST(SearchPipeline, AFinishedSearchDoesNotPublishOnceANewerOneStarted) {
    ModelWorld world;
    auto model = world.make({"/srv/x"}, false);
    fill(*model->volumes.get()[0], {{"apple"}, {"banana"}});
    std::vector<std::shared_ptr<const ResultSet>> published;
    const auto watch = model->results.observe([&](const auto& results) { published.push_back(results); });

    model->setQuery("apple");
    model->queue().sync([] {});  // its work is done and its publication queued
    model->setQuery("banana");
    world.settle(*model);
    ASSERT_EQ(published.size(), 1u);
    EXPECT_EQ(rowNames(*published[0]), std::vector<std::string>{"0:banana"});

    // A search that outlives its model publishes nothing and changes nothing.
    std::weak_ptr<AppModel> weak = model;
    model->setQuery("apple");
    model.reset();
    EXPECT_TRUE(weak.expired());
    world.main.drain();
    EXPECT_EQ(published.size(), 1u);
}

TEST(SearchPipeline, AParseErrorKeepsTheRowsUntilTheNextSuccess) {
    ModelWorld world;
    const auto model = world.make({"/srv/x"}, false);
    fill(*model->volumes.get()[0], {{"report.pdf", 0, 0, 2048}, {"notes.txt", 0, 0, 10}});
    model->setQuery("report");
    world.settle(*model);
    const auto shown = model->results.get();
    ASSERT_EQ(rowNames(*shown), std::vector<std::string>{"0:report.pdf"});

    std::string expected;
    try {
        core::QueryParser::parse("size:huge", {}, core::Calendar::current());
        FAIL() << "the text was meant not to parse";
    } catch (const core::QueryError& error) {
        expected = error.message();
    }
    model->setQuery("size:huge");
    world.settle(*model);
    EXPECT_EQ(model->queryError.get(), expected);
    EXPECT_EQ(model->results.get(), shown) << "the previous rows stay";

    model->setQuery("size:also-bad");
    world.settle(*model);
    EXPECT_TRUE(model->queryError.get()) << "a second failure keeps a message";
    model->setQuery("notes");
    world.settle(*model);
    EXPECT_EQ(model->queryError.get(), std::nullopt);
    EXPECT_EQ(rowNames(*model->results.get()), std::vector<std::string>{"0:notes.txt"});
}

TEST(SearchPipeline, AContentTermWithoutContentFoldersShowsTheMessageAndNoRows) {
    ModelWorld world;
    const auto model = world.make({"/srv/x"}, false);
    fill(*model->volumes.get()[0], {{"letter.txt"}});
    model->setQuery("letter");
    world.settle(*model);
    ASSERT_EQ(model->results.get()->rows().size(), 1u);

    model->setQuery("letter content:invoice");
    world.settle(*model);
    EXPECT_EQ(model->queryError.get(),
              "Content search is off: choose folders under Settings → Search inside file contents");
    EXPECT_EQ(model->results.get(), ResultSet::empty());

    world.prefs.setContentFolders({"/srv/x"});
    model->runSearch(false);
    world.settle(*model);
    EXPECT_EQ(model->queryError.get(), std::nullopt) << "with folders chosen the search runs";
    EXPECT_NE(model->results.get(), ResultSet::empty());
}

TEST(SearchPipeline, SettersStartOneSearchOrNone) {
    ModelWorld world;
    const auto model = world.make({"/srv/x"}, false);
    fill(*model->volumes.get()[0], {{"a.txt", 0, 0, 5}, {"b.mp3", 0, 0, 7}, {"junk", 0, 8}});
    const auto searched = [&](const std::function<void()>& change) {
        const std::int64_t before = model->generation();
        change();
        world.settle(*model);
        return model->generation() - before;
    };

    EXPECT_TRUE(model->showsEmptyState());
    EXPECT_EQ(searched([&] { model->runSearch(true); }), 1);
    EXPECT_EQ(rowNames(*model->results.get()), (std::vector<std::string>{"0:a.txt", "0:b.mp3"}))
        << "an empty query still searches (junk left out)";
    EXPECT_TRUE(model->showsEmptyState());

    EXPECT_EQ(searched([&] { model->setBrowseAll(true); }), 0) << "browseAll alone starts no search";
    EXPECT_FALSE(model->showsEmptyState());
    EXPECT_EQ(searched([&] { model->setQuery(""); }), 0) << "the same text starts no search";
    EXPECT_TRUE(model->browseAll.get()) << "and leaves browseAll alone";

    EXPECT_EQ(searched([&] { model->setQuery("a"); }), 1);
    EXPECT_FALSE(model->browseAll.get());
    EXPECT_TRUE(model->results.get()->resetScroll());

    model->setBrowseAll(true);
    EXPECT_EQ(searched([&] { model->setFilter(model->filter.get()); }), 1) << "the category has no equality test";
    EXPECT_FALSE(model->browseAll.get());
    EXPECT_TRUE(model->results.get()->resetScroll());

    EXPECT_EQ(searched([&] { model->setSortDesc(true); }), 1);
    EXPECT_FALSE(model->results.get()->resetScroll()) << "a direction change keeps the scroll";

    EXPECT_EQ(searched([&] { model->setShowJunk(true); }), 1);
    EXPECT_TRUE(model->results.get()->resetScroll());
    EXPECT_EQ(world.settings.boolean(AppModel::kShowJunkKey), true);
    model->setQuery("");
    world.settle(*model);
    EXPECT_EQ(model->results.get()->rows().size(), 3u) << "junk shows now";
    EXPECT_TRUE(world.make({"/srv/y"}, false)->showJunk.get()) << "the next model reads it back";
}

TEST(SearchPipeline, SetSortKeepsTheScrollForTheSameKeyAndBuildsMissingOrders) {
    ModelWorld world;
    const auto model = world.make({"/srv/x", "/srv/y"}, false);
    fill(*model->volumes.get()[0], {{"b", 0, 0, 30}, {"a", 0, 0, 10}});
    fill(*model->volumes.get()[1], {{"c", 0, 0, 20}});
    const auto index = model->volumes.get()[0]->index();
    for (const auto& volume : model->volumes.get()) volume->index()->permutation(SortKey::name);

    const std::int64_t before = model->generation();
    model->setSort(SortKey::name, true);
    EXPECT_FALSE(model->sorting.get()) << "the name orders exist";
    world.settle(*model);
    EXPECT_EQ(model->generation(), before + 1);
    EXPECT_FALSE(model->results.get()->resetScroll());
    EXPECT_EQ(rowNames(*model->results.get()), (std::vector<std::string>{"1:c", "0:b", "0:a"}));

    ASSERT_FALSE(index->cachedPermutation(SortKey::size));
    model->setSort(SortKey::size, false);
    EXPECT_TRUE(model->sorting.get());
    EXPECT_EQ(model->sortKey.get(), SortKey::size);
    EXPECT_FALSE(model->sortDesc.get());
    world.main.waitUntil([&] { return !model->sorting.get(); });
    EXPECT_TRUE(index->cachedPermutation(SortKey::size)) << "the job built it";
    world.settle(*model);
    EXPECT_EQ(model->generation(), before + 3) << "the new key searched once, the finished build once more";
    EXPECT_FALSE(model->results.get()->resetScroll()) << "the build's search keeps the scroll";
    EXPECT_EQ(rowNames(*model->results.get()), (std::vector<std::string>{"0:a", "1:c", "0:b"}));

    model->setSortKey(SortKey::size);
    EXPECT_FALSE(model->sorting.get()) << "nothing missing, nothing to build";
}

TEST(SearchPipeline, HitVolumesAndHighlightTerms) {
    ModelWorld world;
    const auto model = world.make({"/srv/x", "/srv/y", "/srv/z"}, false);
    fill(*model->volumes.get()[0], {{"apple.txt"}, {"apple pear.txt"}});
    fill(*model->volumes.get()[1], {{"plum"}});
    fill(*model->volumes.get()[2], {{"cherry"}});
    model->setQuery("apple !pear *.txt | plum");
    world.settle(*model);
    const auto& results = *model->results.get();
    EXPECT_EQ(rowNames(results), (std::vector<std::string>{"0:apple.txt", "1:plum"}));
    EXPECT_EQ(results.vols().size(), 3u) << "every searched volume";
    EXPECT_EQ(results.hitVolumes(), 2) << "volumes with hits";
    EXPECT_EQ(results.terms(), (std::vector<std::string>{"apple", "plum"}))
        << "plain name terms only: no negated or wildcard term";
}

// Two volumes with a global order built by the model.
struct TwoWithOrder {
    ModelWorld world;
    std::shared_ptr<AppModel> model = world.make({"/srv/x", "/srv/y"}, false);

    TwoWithOrder() {
        fill(*model->volumes.get()[0], {{"same"}, {"alpha"}});
        fill(*model->volumes.get()[1], {{"same"}, {"beta"}});
        model->maintainGlobal();
        world.main.waitUntil([&] { return model->global() != nullptr; });
        world.settle(*model);
    }
    std::uint64_t searchWithGlobal(const std::function<void()>& change) {
        change();
        world.settle(*model);
        const std::uint64_t before = model->globalMergesForTesting();
        model->runSearch(false);
        world.settle(*model);
        return model->globalMergesForTesting() - before;
    }
};

TEST(SearchPipeline, TheGlobalOrderServesExactlyTheVolumesItWasBuiltOver) {
    TwoWithOrder t;
    EXPECT_EQ(t.searchWithGlobal([] {}), 1u);
    EXPECT_EQ(rowNames(*t.model->results.get()), (std::vector<std::string>{"0:alpha", "1:beta", "0:same", "1:same"}));
    EXPECT_EQ(t.searchWithGlobal([&] { t.model->setSortDesc(true); }), 1u);
    EXPECT_EQ(rowNames(*t.model->results.get()), (std::vector<std::string>{"1:same", "0:same", "1:beta", "0:alpha"}))
        << "descending is ascending read backwards";

    EXPECT_EQ(t.searchWithGlobal([&] { t.world.prefs.setHiddenVolumes({"/srv/y"}); }), 0u) << "one volume hidden";
    EXPECT_EQ(t.searchWithGlobal([&] { t.world.prefs.setHiddenVolumes({}); }), 1u);

    t.model->volumes.get()[1]->scanning.set(true);
    EXPECT_EQ(t.searchWithGlobal([] {}), 0u) << "one volume scanning";
    EXPECT_EQ(rowNames(*t.model->results.get()), (std::vector<std::string>{"0:same", "1:same", "1:beta", "0:alpha"}))
        << "the comparison merge: an equal name goes to the lower position in both directions";
    t.model->volumes.get()[1]->scanning.set(false);

    EXPECT_EQ(t.searchWithGlobal([&] { t.model->setSort(SortKey::size, false); }), 0u) << "another key";
    t.world.main.waitUntil([&] { return !t.model->sorting.get(); });

    t.world.prefs.setHiddenVolumes({"/srv/x", "/srv/y"});
    t.world.settle(*t.model);
    EXPECT_TRUE(t.model->results.get()->vols().empty()) << "every volume hidden: no volumes";
    EXPECT_TRUE(t.model->results.get()->rows().empty()) << "and no rows";
    EXPECT_NE(t.model->results.get(), ResultSet::empty()) << "still a published result";
}

// Names "n<k>" in a scrambled entry order: k runs over 0..count-1 once.
std::vector<IndexEntry> scrambled(std::uint32_t count, std::uint32_t stride) {
    std::vector<IndexEntry> entries;
    entries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "n%07u", (i * stride) % count);
        entries.push_back({name, 0, 0, i % 977});
    }
    return entries;
}

TEST(SearchPipeline, ManyNameHitsComeAsNameOrderedBlocksInVolumeOrder) {
    ModelWorld world;
    const auto model = world.make({"/srv/a", "/srv/b"}, false);
    fill(*model->volumes.get()[0], scrambled(200'000, 7919));
    fill(*model->volumes.get()[1], scrambled(150'000, 7919));
    model->setQuery("n");
    world.settle(*model);
    const auto& rows = model->results.get()->rows();
    ASSERT_EQ(rows.size(), 350'000u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::uint32_t want = i < 200'000 ? 0 : 1;
        ASSERT_EQ(rowPosition(rows[i]), want) << "row " << i << ": the first volume's block first, not interleaved";
        if (i > 0 && rowPosition(rows[i - 1]) == want) {
            const auto& index = *model->results.get()->vols()[want]->index();
            ASSERT_LT(index.name(rowEntry(rows[i - 1])), index.name(rowEntry(rows[i]))) << "row " << i;
        }
    }
}

// A volume whose order for the key is still being built, with more hits than may be sorted
// directly: its hits stay in entry order and the result joins the volumes in order, even
// descending.
TEST(SearchPipeline, AVolumeTooLargeToSortDirectlyMakesTheResultAJoin) {
    ModelWorld world;
    const auto model = world.make({"/srv/a", "/srv/b"}, false);
    fill(*model->volumes.get()[0], scrambled(300'001, 7919));
    fill(*model->volumes.get()[1], {{"n big", 0, 0, 900}, {"n small", 0, 0, 1}});
    Gate build;
    model->volumes.get()[0]->index()->setBuildHookForTesting([&](SortKey, core::VolumeIndex::BuildEvent event) {
        if (event == core::VolumeIndex::BuildEvent::build) build.hold();
    });
    model->setSort(SortKey::size, true);
    build.waitUntilHeld();
    EXPECT_TRUE(model->sorting.get());
    model->setQuery("n");
    world.settle(*model);
    const auto& rows = model->results.get()->rows();
    ASSERT_EQ(rows.size(), 300'003u);
    for (std::uint32_t i = 0; i < 300'001; ++i)
        ASSERT_EQ(rows[i], rowKey(0, i + 1)) << "the unordered volume first, in entry order, not reversed";
    EXPECT_EQ(rows[300'001], rowKey(1, 1)) << "then the other volume in its own order (size, descending)";
    EXPECT_EQ(rows[300'002], rowKey(1, 2));

    build.release();
    world.main.waitUntil([&] { return !model->sorting.get(); });
    world.settle(*model);
    const auto& merged = *model->results.get();
    const auto sizeOf = [&](RowKey row) { return merged.vols()[rowPosition(row)]->index()->size(rowEntry(row)); };
    ASSERT_EQ(merged.rows().size(), 300'003u);
    EXPECT_TRUE(std::is_sorted(merged.rows().begin(), merged.rows().end(), [&](RowKey a, RowKey b) {
        return sizeOf(a) > sizeOf(b);
    })) << "once the order is built, the volumes are merged by size";
}

// The oracle: random volumes with fold-equal names within and across them, random queries, every
// key and direction, with and without the global order; the rows must be the hits in the order
// the keys define: (value, volume position, entry) ascending. Descending, the global order's walk
// is that order exactly reversed, while the comparison merge gives equal values to the lower
// position first and, within a volume, reverses its ascending order. For the path order, the
// volumes in turn (last first descending), each in tree order.
struct OracleVolume {
    std::vector<IndexEntry> entries;  // without the root
};

OracleVolume oracleVolume(std::mt19937& rng) {
    static const std::vector<std::string> stems = {"a", "A", "ab", "Ab", "b", "ba", "É", "e", "abc"};
    static const std::vector<std::string> exts = {"", ".txt", ".TXT", ".mp3"};
    OracleVolume volume;
    const std::size_t count = 5 + rng() % 30;
    for (std::size_t i = 0; i < count; ++i) {
        IndexEntry e;
        e.name = stems[rng() % stems.size()] + exts[rng() % exts.size()];
        // Parents: the root (0) or an earlier folder.
        e.parent = 0;
        if (i > 0 && rng() % 3 == 0) {
            const std::uint32_t candidate = 1 + rng() % i;
            if (volume.entries[candidate - 1].flags & FIDX_FOLDER) e.parent = candidate;
        }
        e.flags = rng() % 4 == 0 ? FIDX_FOLDER : 0;
        e.size = rng() % 4 * 100;
        e.mtime = 1'000 + rng() % 3;
        volume.entries.push_back(e);
    }
    // Appending wants the children of one parent after their parent: keep only parents that come
    // earlier, which the choice above guarantees.
    return volume;
}

// A query of one or two groups of name terms, some negated, with an optional extension filter.
struct OracleQuery {
    std::string text;
    std::vector<std::vector<std::pair<std::string, bool>>> groups;  // (term, negated)
};

OracleQuery randomQuery(std::mt19937& rng) {
    static const std::vector<std::string> words = {"a", "b", "ab", "e", "ba", "c"};
    OracleQuery q;
    const std::size_t groups = rng() % 3;  // 0: the empty query
    for (std::size_t g = 0; g < groups; ++g) {
        if (g > 0) q.text += " | ";
        std::vector<std::pair<std::string, bool>> group;
        const std::size_t terms = 1 + rng() % 2;
        for (std::size_t t = 0; t < terms; ++t) {
            const bool neg = t > 0 && rng() % 2 == 0;
            const std::string word = words[rng() % words.size()];
            q.text += (t > 0 ? " " : "") + std::string(neg ? "!" : "") + word;
            group.emplace_back(word, neg);
        }
        q.groups.push_back(group);
    }
    return q;
}

bool matches(const core::VolumeIndex& index, std::uint32_t e, const OracleQuery& q, bool onlyText) {
    const std::string fold = core::VolumeIndex::fold(index.name(e));
    if (onlyText) {
        const std::string ext = index.ext(e);
        if (ext != "txt") return false;
    }
    if (q.groups.empty()) return true;
    for (const auto& group : q.groups) {
        bool all = true;
        for (const auto& [word, neg] : group)
            all = all && ((fold.find(core::VolumeIndex::fold(word)) != std::string::npos) != neg);
        if (all) return true;
    }
    return false;
}

using Rank = std::tuple<std::string, std::uint64_t>;

// The brute-force rows of a search over the volumes.
std::vector<RowKey> expectedRows(const ResultSet::Volumes& vols, const OracleQuery& q, bool onlyText, SortKey key,
                                 bool desc, bool viaGlobal) {
    std::vector<RowKey> rows;
    for (std::uint32_t v = 0; v < vols.size(); ++v) {
        const auto& index = *vols[v]->index();
        for (std::uint32_t e = 1; e < index.count(); ++e)
            if (matches(index, e, q, onlyText)) rows.push_back(rowKey(v, e));
    }
    const auto value = [&](RowKey row) -> Rank {
        const auto& index = *vols[rowPosition(row)]->index();
        const std::uint32_t e = rowEntry(row);
        switch (key) {
            case SortKey::name:
                return {foldOf(index, e), 0};
            case SortKey::size:
                return {"", index.size(e)};
            case SortKey::date:
                return {"", index.mtime(e)};
            case SortKey::created:
                return {"", index.ctime(e)};
            case SortKey::path:
                break;
        }
        return {"", 0};
    };
    if (key == SortKey::path) {
        // Tree order: the chains of (folded name, entry) from the root, an ancestor first.
        const auto chain = [&](RowKey row) {
            const auto& index = *vols[rowPosition(row)]->index();
            std::vector<std::pair<std::string, std::uint32_t>> links;
            for (std::optional<std::uint32_t> e = rowEntry(row); e; e = index.parent(*e))
                links.emplace_back(foldOf(index, *e), *e);
            std::reverse(links.begin(), links.end());
            return links;
        };
        std::stable_sort(rows.begin(), rows.end(), [&](RowKey a, RowKey b) {
            if (rowPosition(a) != rowPosition(b)) return rowPosition(a) < rowPosition(b);
            return chain(a) < chain(b);
        });
        if (desc) {
            // Whole volumes last to first, each in reverse tree order.
            std::reverse(rows.begin(), rows.end());
            std::stable_sort(rows.begin(), rows.end(),
                             [](RowKey a, RowKey b) { return rowPosition(a) > rowPosition(b); });
        }
        return rows;
    }
    std::sort(rows.begin(), rows.end(), [&](RowKey a, RowKey b) {
        const Rank va = value(a), vb = value(b);
        return va != vb ? va < vb : a < b;  // then position, then entry: the row key
    });
    if (!desc) return rows;
    if (viaGlobal) {
        std::reverse(rows.begin(), rows.end());
        return rows;
    }
    std::sort(rows.begin(), rows.end(), [&](RowKey a, RowKey b) {
        const Rank va = value(a), vb = value(b);
        if (va != vb) return va > vb;
        if (rowPosition(a) != rowPosition(b)) return rowPosition(a) < rowPosition(b);
        return rowEntry(a) > rowEntry(b);
    });
    return rows;
}

TEST(SearchPipeline, PublishedRowsMatchABruteForceOrder) {
    const Category docs{"docs", "", "doc", "*.txt"};
    for (std::uint32_t seed = 1; seed <= 3; ++seed) {
        std::mt19937 rng(seed);
        ModelWorld world;
        const auto model = world.make({"/srv/one", "/srv/two", "/srv/three"}, false);
        for (const auto& volume : model->volumes.get()) fill(*volume, oracleVolume(rng).entries);
        std::uint64_t globalUses = 0;
        for (const bool withGlobal : {false, true}) {
            if (withGlobal) {
                model->maintainGlobal();
                world.main.waitUntil([&] { return !model->globalBuilding(); });
                ASSERT_NE(model->global(), nullptr);
            }
            for (int n = 0; n < 8; ++n) {
                const OracleQuery q = randomQuery(rng);
                const bool onlyText = rng() % 4 == 0;
                model->setFilter(onlyText ? docs : Category::all());
                model->setQuery(q.text);
                for (const SortKey key : core::allSortKeys) {
                    for (const bool desc : {false, true}) {
                        if (withGlobal && key != SortKey::name) continue;
                        model->setSort(key, desc);
                        world.main.waitUntil([&] { return !model->sorting.get(); });
                        world.settle(*model);
                        const std::uint64_t merges = model->globalMergesForTesting();
                        model->runSearch(false);
                        world.settle(*model);
                        const bool viaGlobal = model->globalMergesForTesting() > merges;
                        globalUses += viaGlobal;
                        const auto& results = *model->results.get();
                        EXPECT_EQ(results.rows(), expectedRows(results.vols(), q, onlyText, key, desc, viaGlobal))
                            << "seed " << seed << ", query \"" << q.text << "\"" << (onlyText ? " in docs" : "") << ", "
                            << core::rawValue(key) << (desc ? " descending" : " ascending")
                            << (withGlobal ? ", global order" : "");
                    }
                }
            }
            if (!withGlobal) {
                EXPECT_EQ(globalUses, 0u) << "seed " << seed;
            }
        }
        EXPECT_GT(globalUses, 0u) << "seed " << seed << ": the global order served some of the searches";
    }
}

}  // namespace
}  // namespace quorvanta::app::test
