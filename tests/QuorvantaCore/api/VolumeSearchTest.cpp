#include "QuorvantaCore/api/VolumeSearch.h"

#include "QuorvantaCore/index/VolumeIndex.h"
#include "tests/QuorvantaCore/search/InMemoryIndex.h"
#include "tests/QuorvantaCore/search/SearcherTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

using namespace test;

// A root and one file per name, under it.
std::shared_ptr<VolumeIndex> volumeOf(const std::string& root, const std::vector<std::string>& names,
                                      std::uint8_t flags = 0) {
    std::vector<IndexEntry> entries{{root, FIDX_NONE}};
    for (const std::string& name : names) entries.push_back({name, 0, flags, 10, 100});
    return buildIndex(entries);
}

std::vector<std::string> paths(const LocalAPI::SearchResult& result) {
    std::vector<std::string> out;
    for (const LocalAPI::Row& row : result.rows) out.push_back(row.path);
    return out;
}

TEST(VolumeSearch, FirstVolumesFillTheLimitByNameWhileTheTotalCountsEveryVolume) {
    const std::vector<LocalAPI::SearchVolume> volumes{
        {"A", "/a", volumeOf("/a", {"mix c", "mix a", "mix b", "other"})},
        {"Hidden junk", "/j", volumeOf("/j", {"mix junk"}, FIDX_JUNK)},
        {"Catalog", "/c", volumeOf("/c", {"mix offline"}), false, true},
        {"B", "/b", volumeOf("/b", {"mix 9", "mix 1", "mix 5", "mix 3"}), true, false},
    };
    const Query mix = query({{nameTerm("MIX")}});
    struct Case {
        std::int64_t limit;
        std::vector<std::string> paths;
    } cases[] = {
        {5, {"/a/mix a", "/a/mix b", "/a/mix c", "/b/mix 1", "/b/mix 3"}},
        {2, {"/a/mix a", "/a/mix b"}},
        {0, {}},
        {100, {"/a/mix a", "/a/mix b", "/a/mix c", "/b/mix 1", "/b/mix 3", "/b/mix 5", "/b/mix 9"}},
    };
    for (const Case& c : cases) {
        const LocalAPI::SearchResult result = LocalAPI::searchVolumes(volumes, mix, c.limit);
        EXPECT_EQ(paths(result), c.paths) << c.limit;
        EXPECT_EQ(result.total, 7) << c.limit;
    }
    const LocalAPI::Row row = LocalAPI::searchVolumes(volumes, mix, 1).rows.at(0);
    EXPECT_EQ(row, (LocalAPI::Row{"/a/mix a", "mix a", "file", 10, 100}));

    const std::vector<LocalAPI::Volume> statuses = LocalAPI::volumeStatuses(volumes);
    ASSERT_EQ(statuses.size(), 4u);
    EXPECT_EQ(statuses[2], (LocalAPI::Volume{"Catalog", "/c", 2, false, true}));
    EXPECT_EQ(statuses[3], (LocalAPI::Volume{"B", "/b", 5, true, false}));
}

}  // namespace
}  // namespace quorvanta::core
