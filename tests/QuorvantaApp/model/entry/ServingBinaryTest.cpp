// quorvanta-headless in its serving mode, run as a user runs it (no display, a private home, the
// settings file written first) and asked from outside with quorvanta-cli: what it serves, and
// that a termination signal ends it with its snapshots saved.
#include "QuorvantaCore/index/VolumeIndex.h"
#include "tests/support/AppRun.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#if defined(QUORVANTA_HEADLESS_PATH) && defined(QUORVANTA_CLI_PATH)

namespace quorvanta::app::test {
namespace {

namespace fs = std::filesystem;
using quorvanta::test::findCount;
using quorvanta::test::pollFor;
using quorvanta::test::RunOptions;
using quorvanta::test::TempDir;

const fs::path kHeadless = QUORVANTA_HEADLESS_PATH;
const fs::path kCli = QUORVANTA_CLI_PATH;
const std::string kWord = "quillwort";

// Roots alpha and beta; the word in two text files of alpha/docs, in one of alpha outside it and
// in one of beta.
struct Trees {
    Trees() {
        dir.write("alpha/docs/one.txt", "first " + kWord + " note\n");
        dir.write("alpha/docs/two.txt", kWord + " again\n");
        dir.write("alpha/docs/plain.txt", "nothing here\n");
        dir.write("alpha/outside.txt", kWord + "\n");
        dir.write("alpha/sub/deep/x.bin", "x");
        dir.write("beta/b.txt", kWord + "\n");
        dir.write("beta/c/d.txt", "d");
    }
    std::string alpha() const { return fs::canonical(dir / "alpha").string(); }
    std::string beta() const { return fs::canonical(dir / "beta").string(); }

    TempDir dir;
};

// A run of the serving binary in a private home whose settings file holds `settings`, without a
// display.
class Serving : public quorvanta::test::AppRun {
public:
    Serving(const nlohmann::json& settings, const std::vector<std::string>& args)
        : AppRun(kHeadless, kCli, settings, args, withoutDisplay()) {}

private:
    static RunOptions withoutDisplay() {
        RunOptions options;
        options.unset = {"DISPLAY", "WAYLAND_DISPLAY"};
        return options;
    }
};

// Each root's snapshot loads and holds as many entries as `find` lists.
void expectSnapshotsOf(const Serving& serving, const std::vector<std::string>& roots) {
    const auto snapshots = serving.snapshots();
    for (const std::string& root : roots) {
        ASSERT_TRUE(snapshots.contains(root)) << root;
        const auto loaded = core::VolumeIndex::load(snapshots.at(root).string(), {});
        ASSERT_TRUE(loaded) << root;
        EXPECT_EQ(static_cast<std::int64_t>(loaded->index->liveCount()), findCount(root)) << root;
    }
}

nlohmann::json servingSettings(const Trees& trees) {
    return {{"localAPI", true}, {"contentFolders", {trees.alpha() + "/docs"}}};
}

TEST(ServingBinary, ServesTheLiveIndexWithContentSearchAndSavesOnSIGTERM) {
    Trees trees;
    Serving serving(servingSettings(trees), {"--root", trees.alpha(), "--root", trees.beta()});
    const std::map<std::string, std::int64_t> expected{{trees.alpha(), findCount(trees.alpha())},
                                                       {trees.beta(), findCount(trees.beta())}};
    ASSERT_TRUE(pollFor([&] { return serving.scannedVolumes() == expected; })) << "status never listed both scanned";

    std::vector<std::string> found;
    ASSERT_TRUE(pollFor([&] {
        found.clear();
        const auto reply = serving.api({"search", "content:" + kWord});
        if (reply)
            for (const auto& row : (*reply)["results"]) found.push_back(row["path"].get<std::string>());
        std::sort(found.begin(), found.end());
        return found.size() >= 2;
    }));
    EXPECT_EQ(found, (std::vector<std::string>{trees.alpha() + "/docs/one.txt", trees.alpha() + "/docs/two.txt"}));

    // A file added after the first save reaches the snapshot the quit writes.
    ASSERT_TRUE(pollFor([&] { return serving.snapshots().size() == 2; }));
    trees.dir.write("alpha/late.txt", "late");
    ASSERT_TRUE(pollFor([&] {
        auto volumes = serving.scannedVolumes();
        return volumes[trees.alpha()] == findCount(trees.alpha());
    })) << "the watcher never reported the new file";

    EXPECT_EQ(serving.endWith(SIGTERM), 0);
    EXPECT_FALSE(serving.socketExists());
    expectSnapshotsOf(serving, {trees.alpha(), trees.beta()});
}

TEST(ServingBinary, SIGINTAndSIGHUPEndItTheSameWay) {
    for (const int signal : {SIGINT, SIGHUP}) {
        Trees trees;
        Serving serving(servingSettings(trees), {"--root", trees.alpha(), "--root", trees.beta()});
        ASSERT_TRUE(pollFor([&] { return serving.scannedVolumes().size() == 2; })) << strsignal(signal);
        EXPECT_EQ(serving.endWith(signal), 0) << strsignal(signal);
        EXPECT_FALSE(serving.socketExists()) << strsignal(signal);
        expectSnapshotsOf(serving, {trees.alpha(), trees.beta()});
    }
}

TEST(ServingBinary, WithoutTheSwitchNoSocketAppears) {
    Trees trees;
    Serving serving({{"localAPI", false}}, {"--root", trees.alpha(), "--root", trees.beta()});
    // Both first saves are written: the launch, which would have started the server, is long past.
    ASSERT_TRUE(pollFor([&] { return serving.snapshots().size() == 2; }));
    EXPECT_FALSE(serving.socketExists());
    EXPECT_EQ(serving.endWith(SIGTERM), 0);
    expectSnapshotsOf(serving, {trees.alpha(), trees.beta()});
}

TEST(ServingBinary, WithoutRootsOrConfiguredSourcesItServesAndScansNothing) {
    Serving serving({{"localAPI", true}}, {});
    std::optional<nlohmann::json> status;
    ASSERT_TRUE(pollFor([&] { return (status = serving.api({"status"})).has_value(); }));
    EXPECT_TRUE((*status)["volumes"].empty()) << status->dump();
    EXPECT_EQ(serving.endWith(SIGTERM), 0);
    EXPECT_FALSE(serving.socketExists());
    EXPECT_TRUE(serving.snapshots().empty());
}

}  // namespace
}  // namespace quorvanta::app::test

#endif
