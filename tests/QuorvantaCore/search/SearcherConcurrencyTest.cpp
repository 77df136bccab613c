// Searches that overlap on one searcher, cancels from other threads and audio upserts during a
// search: every search returns none or exactly what a quiet searcher returns. Run under
// ThreadSanitizer too.
#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/search/Searcher.h"

#include "tests/QuorvantaCore/search/InMemoryIndex.h"
#include "tests/QuorvantaCore/search/SearcherTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace quorvanta::core {
namespace {

using namespace test;
using Hits = std::vector<std::uint32_t>;

// 30,000 files in 600 folders, enough for several ranges per search.
std::shared_ptr<VolumeIndex> bigIndex() {
    std::vector<IndexEntry> entries{{"/r", FIDX_NONE}};
    for (std::uint32_t d = 0; d < 600; ++d) {
        entries.push_back({"dir" + std::to_string(d), 0, FIDX_FOLDER});
        const auto parent = static_cast<std::uint32_t>(entries.size() - 1);
        for (int f = 0; f < 50; ++f)
            entries.push_back(
                {"file" + std::to_string(d * 50 + f) + (f % 3 ? ".txt" : ".mp3"), parent, 0, std::uint64_t(f) * 100});
    }
    return buildIndex(entries);
}

std::vector<Query> someQueries() {
    return {query({{nameTerm("file1")}}),
            query({{nameTerm("file12")}}),
            query({{nameTerm("file123")}}),
            query({{extTerm({"mp3"}), nameTerm("9")}}),
            query({{regexTerm("^file[0-9]*7\\.txt$")}}),
            query({{nameTerm("dir5")}, {sizeTerm(4000, 4900)}}),
            query({{pathTerm("dir3")}})};
}

TEST(SearcherConcurrency, OverlappingSearchesAndCancels) {
    const auto index = bigIndex();
    const std::vector<Query> queries = someQueries();
    std::vector<Hits> expected;
    for (const Query& q : queries) expected.push_back(hitsOrMarker(Searcher(index).search(q, false)));

    Searcher searcher(index);
    searcher.threads = 4;
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0}, cancelledCount{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 3; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < 40; ++i) {
                const std::size_t qi = (w * 7 + i) % queries.size();
                const auto hits = searcher.search(queries[qi], false);
                if (!hits) {
                    ++cancelledCount;
                    continue;
                }
                ++answered;
                EXPECT_EQ(*hits, expected[qi]) << "query " << qi;
            }
        });
    std::thread canceller([&] {
        while (!stop.load()) {
            searcher.cancel();
            std::this_thread::yield();
        }
    });
    for (auto& t : workers) t.join();
    stop = true;
    canceller.join();
    EXPECT_EQ(answered + cancelledCount, 120);
    // At rest the searcher answers again.
    EXPECT_EQ(hitsOrMarker(searcher.search(queries[2], false)), expected[2]);
}

TEST(SearcherConcurrency, AudioUpsertsDuringSearches) {
    const auto index = bigIndex();
    auto table = std::make_shared<AudioTable>();
    index->setAudio(table);
    AudioCond artist(AudioCond::Field::artist);
    artist.text = "band";
    const Query q = query({{audioTerm(artist), nameTerm("file")}});
    std::vector<std::uint32_t> songs;
    for (std::uint32_t e = 0; e < index->count(); ++e)
        if (index->ext(e) == "mp3") songs.push_back(e);

    std::thread writer([&] {
        for (std::size_t i = 0; i < songs.size(); i += 100) {
            std::vector<AudioTable::Row> rows;
            for (std::size_t j = i; j < std::min(songs.size(), i + 100); ++j) {
                AudioMeta meta;
                meta.artist = "Band";
                meta.durationMs = 1000;
                rows.push_back({songs[j], 1, meta});
            }
            table->upsert(rows);
        }
    });
    Searcher searcher(index);
    searcher.threads = 4;
    for (int i = 0; i < 30; ++i) {
        const auto hits = searcher.search(q, false);
        ASSERT_TRUE(hits);
        // Rows are only added, in entry order: every result is a prefix of the songs.
        ASSERT_LE(hits->size(), songs.size());
        EXPECT_TRUE(std::equal(hits->begin(), hits->end(), songs.begin()));
    }
    writer.join();
    EXPECT_EQ(hitsOrMarker(searcher.search(q, false)), songs);
}

}  // namespace
}  // namespace quorvanta::core
