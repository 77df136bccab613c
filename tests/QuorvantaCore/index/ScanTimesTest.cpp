// "scan-times.json": what reads as an empty record, the round trip of dates with fractions, the
// file's exact form, and failed saves.
#include "QuorvantaCore/index/ScanTimes.h"

#include "tests/fuzz/ScanTimesOracle.h"
#include "tests/support/Mutations.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace quorvanta::core {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvanta::test::readFile;
using quorvanta::test::TempDir;
using std::chrono::system_clock;

const system_clock::time_point k2001(978'307'200s);

TEST(ScanTimes, DamagedOrForeignFilesReadAsEmpty) {
    TempDir dir;
    std::string deep;
    for (int i = 0; i < 10000; ++i) deep += "{\"times\":";
    deep += "{}" + std::string(10000, '}');
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"not JSON", "times: 1"},
        {"no times", R"({"other":{"v":1}})"},
        {"times not an object", R"({"times":[1,2]})"},
        {"a value not a number", R"({"times":{"a":1,"b":"2"}})"},
        {"a boolean value", R"({"times":{"a":true}})"},
        {"a nested value", R"({"times":{"a":{"b":1}}})"},
        {"a date beyond the clock", R"({"times":{"a":1e300}})"},
        {"an integer beyond the clock", R"({"times":{"a":18446744073709551615}})"},
        {"10,000 levels", deep},
        {"an empty times object", R"({"times":{}})"},
        {"an array", "[]"},
        {"empty", ""},
    };
    for (const auto& [what, bytes] : cases) {
        const fs::path path = dir.write("scan-times.json", bytes);
        EXPECT_TRUE(ScanTimes::load(path).times.empty()) << what;
    }
    EXPECT_TRUE(ScanTimes::load(dir / "missing.json").times.empty());
    EXPECT_TRUE(ScanTimes::load(dir.path()).times.empty()) << "a folder";
}

TEST(ScanTimes, RoundTripAndTheFileForm) {
    TempDir dir;
    const fs::path path = dir / "scan-times.json";
    ScanTimes first;
    first.times["vol-a"] = k2001;
    ASSERT_TRUE(first.save(path));
    EXPECT_EQ(readFile(path), R"({"times":{"vol-a":0}})");

    ScanTimes times;
    times.times["vol-a"] = k2001 + 86400s + 500ms;
    times.times["path-1f2e"] = system_clock::time_point(1'765'000'000s + 250ms);
    times.times["before-2001"] = k2001 - 1500ms;
    times.times["whole"] = system_clock::time_point(1'700'000'000s);
    ASSERT_TRUE(times.save(path));
    const std::string text = readFile(path);
    EXPECT_EQ(text.find_first_of(" \n\t"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("vol-a":86400.5)"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("before-2001":-1.5)"), std::string::npos) << text;
    EXPECT_EQ(ScanTimes::load(path), times);

    const fs::path external = dir.write("other.json", R"({"times":{"x":86400.5,"y":-3}})");
    const ScanTimes read = ScanTimes::load(external);
    EXPECT_EQ(read.times.at("x"), k2001 + 86400s + 500ms);
    EXPECT_EQ(read.times.at("y"), k2001 - 3s);
    EXPECT_EQ(ScanTimes::fileURL().filename(), "scan-times.json");
    EXPECT_EQ(ScanTimes::fileURL().parent_path().filename(), "Quorvanta");
}

TEST(ScanTimes, FailedSaveKeepsTheOldFile) {
    TempDir dir;
    ScanTimes times;
    times.times["v"] = k2001 + 5s;
    const std::string old = R"({"times":{"old":1}})";
    EXPECT_FALSE(times.save(dir / "missing/scan-times.json"));
    EXPECT_FALSE(fs::exists(dir / "missing"));
    fs::create_directory(dir / "taken.json");
    EXPECT_FALSE(times.save(dir / "taken.json")) << "a folder in the way";
    EXPECT_TRUE(fs::is_directory(dir / "taken.json"));

    // The temporary name adds 18 bytes to the target's and so passes the 255-byte limit of a
    // name: a failure that holds for root too.
    const fs::path longName = dir.write("long/" + std::string(240, 'n'), old);
    EXPECT_FALSE(times.save(longName)) << "temporary name too long";
    EXPECT_EQ(readFile(longName), old);

    const fs::path path = dir.write("ro/scan-times.json", old);
    fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    const bool saved = times.save(path);
    fs::permissions(dir / "ro", fs::perms::owner_all);
    if (!saved) {  // root may write anyway
        EXPECT_EQ(readFile(path), old);
    }
    for (const auto& [folder, only] : {std::pair{"ro", path}, std::pair{"long", longName}}) {
        std::vector<fs::path> left;
        for (const auto& e : fs::directory_iterator(dir / folder)) left.push_back(e.path().filename());
        EXPECT_EQ(left, std::vector<fs::path>{only.filename()}) << "no temporary file left in " << folder;
    }
}

TEST(ScanTimes, SurvivesSeededMutations) {
    const std::string valid = R"({"times":{"a":0,"b":-12.5,"c":786692800.25,"d":1e9,"e":1234567890}})";
    ASSERT_EQ(ScanTimes::fromJSON(valid).times.size(), 5u);
    const test::MutationPlan plan{
        .seeds = {valid}, .iterations = 3000, .randomSeed = 14, .insertions = "{}[]\":,.-+eE0123456789 \\tnul\x80\xff"};
    test::forEachMutation(plan, [](const std::string& text) { EXPECT_TRUE(fuzz::scanTimesRoundTrip(text)) << text; });
}

}  // namespace
}  // namespace quorvanta::core
