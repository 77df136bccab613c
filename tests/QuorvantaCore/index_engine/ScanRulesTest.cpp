#include "QuorvantaCore/index_engine/EngineInternal.h"
#include "QuorvantaCore/index_engine/ScanRules.h"

#include <gtest/gtest.h>

namespace quorvanta::index_engine {
namespace {

TEST(ScanRules, JunkNames) {
    struct Case {
        std::string name;
        bool folder;
        bool junk;
    };
    const Case cases[] = {
        {"._resource", false, true},
        {".DS_Store", false, true},
        {".ds_store", false, false},
        {".Spotlight-V100", true, true},
        {".profile", false, false},
        {".", false, false},
        {"THUMBS.DB", false, true},
        {"thumbs.db", false, true},
        {"Desktop.INI", false, true},
        {"ehthumbs.db", false, true},
        {"$recycle.bin", true, true},
        {"RECYCLED", true, true},
        {"System Volume Information", true, true},
        {"Icon\r", false, true},
        {"Icon", false, false},
        {"icon\r", false, false},
        {"found.000", true, true},
        {"FOUND.000", false, false},
        {"FOUND.x", true, false},
        {"FOUND.", true, false},
        {"FILE0001.CHK", false, true},
        {"file0001.chk", false, true},
        {"FILE00001.CHK", false, false},
        {"photo.jpg", false, false},
    };
    for (const Case& c : cases) EXPECT_EQ(isJunkName(c.name, c.folder), c.junk) << c.name;
}

TEST(ScanRules, IncludeOnlyExtensions) {
    const std::vector<std::string> mp3 = {"mp3", "Flac"};
    struct Case {
        const char* name;
        bool kept;
    };
    for (const Case& c :
         {Case{"a.mp3", true}, Case{"A.MP3", true}, Case{"x.flac", true}, Case{"x.flac.part", false},
          Case{"README", false}, Case{".mp3", false}, Case{"mp3", false}, Case{"a.mp", false}, Case{"x.", false}}) {
        EXPECT_EQ(includedByExtension(c.name, mp3), c.kept) << c.name;
    }
}

TEST(ScanRules, LoopGuardNeedsSixRepetitionsOfOneToThreeNames) {
    struct Case {
        const char* folder;
        const char* child;
        bool nested;
    };
    const Case cases[] = {
        {"/r/a/a/a/a/a", "a", true},
        {"/r/a/a/a/a", "a", false},
        {"a/a/a/a/a", "a", true},  // a relative path's first component counts
        {"/r/a/b/a/b/a/b/a/b/a/b/a", "b", true},
        {"/r/a/b/a/b/a/b/a/b/a", "b", false},
        {"/r/a/b/c/a/b/c/a/b/c/a/b/c/a/b/c/a/b", "c", true},  // needs all 18 components
        {"/r/a/b/c/a/b/c/a/b/c/a/b/c/a/b", "c", false},
        {"/r/a/a/a/a//a", "a", false},  // an empty component ends the path
        {"/", "a", false},
    };
    for (const Case& c : cases) EXPECT_EQ(repeatsSixTimes(c.folder, c.child), c.nested) << c.folder << " + " << c.child;
}

TEST(ScanRules, ExclusionsLoseTrailingSlashes) {
    EXPECT_EQ(normalisedExclusion("/Data/"), "/Data");
    EXPECT_EQ(normalisedExclusion("/Data///"), "/Data");
    EXPECT_EQ(normalisedExclusion("/"), "/");
    EXPECT_EQ(normalisedExclusion("///"), "/");
    EXPECT_EQ(normalisedExclusion("/Data"), "/Data");
}

TEST(ScanRules, WorkerCountIsOneTo256) {
    struct Case {
        int threads;
        uint32_t workers;
    };
    for (const Case& c : {Case{0, 1}, Case{-3, 1}, Case{1, 1}, Case{8, 8}, Case{256, 256}, Case{1000, 256}})
        EXPECT_EQ(scanWorkerCount(c.threads), c.workers) << c.threads;
}

}  // namespace
}  // namespace quorvanta::index_engine
