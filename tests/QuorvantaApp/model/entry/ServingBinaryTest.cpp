// quorvanta-headless in its serving mode, run as a user runs it (no display, a private home, the
// settings file written first) and asked from outside with quorvanta-cli: what it serves, and
// that a termination signal ends it with its snapshots saved.
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/json/JSONText.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#if defined(QUORVANTA_HEADLESS_PATH) && defined(QUORVANTA_CLI_PATH)

namespace quorvanta::app::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvanta::test::RunningProgram;
using quorvanta::test::RunOptions;
using quorvanta::test::runProgram;
using quorvanta::test::TempDir;

const fs::path kHeadless = QUORVANTA_HEADLESS_PATH;
const fs::path kCli = QUORVANTA_CLI_PATH;
const std::string kWord = "quillwort";

// Waits, a step at a time, for `done`; false when it did not hold within a generous bound.
template <class F>
bool poll(F done) {
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return done();
}

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

// What `find <root>` prints: the root and everything below it.
std::int64_t findCount(const std::string& root) {
    return 1 + static_cast<std::int64_t>(std::distance(fs::recursive_directory_iterator(root), {}));
}

// A run of the serving binary in a private home whose settings file holds `settings`.
class Serving {
public:
    Serving(const nlohmann::json& settings, const std::vector<std::string>& args) {
        fs::create_directories(home.path() / ".config/Quorvanta");
        std::ofstream(home.path() / ".config/Quorvanta/settings.json") << settings.dump();
        RunOptions options;
        options.home = home.path();
        options.unset = {"DISPLAY", "WAYLAND_DISPLAY"};
        program.emplace(kHeadless, args, options);
    }

    fs::path data() const { return home.path() / ".local/share/Quorvanta"; }
    std::string socket() const { return (data() / "api.sock").string(); }
    bool socketExists() const { return fs::exists(fs::symlink_status(socket())); }

    // The tool's reply, parsed; none when it failed.
    std::optional<nlohmann::json> api(const std::vector<std::string>& args) const {
        std::vector<std::string> all{"api"};
        all.insert(all.end(), args.begin(), args.end());
        all.insert(all.end(), {"--socket", socket()});
        RunOptions options;
        options.killAfter = 60s;
        const auto r = runProgram(kCli, all, options);
        if (r.status != 0) return std::nullopt;
        auto parsed = core::parseJSONStrict(r.out);
        if (!parsed || !parsed->is_object()) return std::nullopt;
        return *parsed;
    }

    // Root → entries of the volumes in the status reply once none scans; empty until then.
    std::map<std::string, std::int64_t> scannedVolumes() const {
        const auto status = api({"status"});
        std::map<std::string, std::int64_t> volumes;
        if (!status) return volumes;
        for (const auto& volume : (*status)["volumes"]) {
            if (volume["scanning"].get<bool>()) return {};
            volumes[volume["root"].get<std::string>()] = volume["entries"].get<std::int64_t>();
        }
        return volumes;
    }

    // The snapshot files in the data folder, by the root they hold.
    std::map<std::string, fs::path> snapshots() const {
        std::map<std::string, fs::path> found;
        if (!fs::exists(data())) return found;
        for (const auto& entry : fs::directory_iterator(data()))
            if (entry.path().extension() == ".idx")
                if (const auto peeked = core::VolumeIndex::peek(entry.path().string()))
                    found[peeked->info.root] = entry.path();
        return found;
    }

    // Sends `signal` and waits for the program's end; its status, or -1 when it did not end.
    int endWith(int signal) {
        kill(program->pid(), signal);
        const std::string stat = "/proc/" + std::to_string(program->pid()) + "/stat";
        const bool ended = poll([&] {
            std::ifstream in(stat);
            std::string pid, name, state;
            in >> pid >> name >> state;
            return !in || state == "Z";
        });
        if (!ended) return -1;
        const auto result = program->finish();
        return result.signalled ? 128 + result.status : result.status;
    }

    TempDir home;
    std::optional<RunningProgram> program;
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
    ASSERT_TRUE(poll([&] { return serving.scannedVolumes() == expected; })) << "status never listed both scanned";

    std::vector<std::string> found;
    ASSERT_TRUE(poll([&] {
        found.clear();
        const auto reply = serving.api({"search", "content:" + kWord});
        if (reply)
            for (const auto& row : (*reply)["results"]) found.push_back(row["path"].get<std::string>());
        std::sort(found.begin(), found.end());
        return found.size() >= 2;
    }));
    EXPECT_EQ(found, (std::vector<std::string>{trees.alpha() + "/docs/one.txt", trees.alpha() + "/docs/two.txt"}));

    // A file added after the first save reaches the snapshot the quit writes.
    ASSERT_TRUE(poll([&] { return serving.snapshots().size() == 2; }));
    trees.dir.write("alpha/late.txt", "late");
    ASSERT_TRUE(poll([&] {
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
        ASSERT_TRUE(poll([&] { return serving.scannedVolumes().size() == 2; })) << strsignal(signal);
        EXPECT_EQ(serving.endWith(signal), 0) << strsignal(signal);
        EXPECT_FALSE(serving.socketExists()) << strsignal(signal);
        expectSnapshotsOf(serving, {trees.alpha(), trees.beta()});
    }
}

TEST(ServingBinary, WithoutTheSwitchNoSocketAppears) {
    Trees trees;
    Serving serving({{"localAPI", false}}, {"--root", trees.alpha(), "--root", trees.beta()});
    // Both first saves are written: the launch, which would have started the server, is long past.
    ASSERT_TRUE(poll([&] { return serving.snapshots().size() == 2; }));
    EXPECT_FALSE(serving.socketExists());
    EXPECT_EQ(serving.endWith(SIGTERM), 0);
    expectSnapshotsOf(serving, {trees.alpha(), trees.beta()});
}

TEST(ServingBinary, WithoutRootsOrConfiguredSourcesItServesAndScansNothing) {
    Serving serving({{"localAPI", true}}, {});
    std::optional<nlohmann::json> status;
    ASSERT_TRUE(poll([&] { return (status = serving.api({"status"})).has_value(); }));
    EXPECT_TRUE((*status)["volumes"].empty()) << status->dump();
    EXPECT_EQ(serving.endWith(SIGTERM), 0);
    EXPECT_FALSE(serving.socketExists());
    EXPECT_TRUE(serving.snapshots().empty());
}

}  // namespace
}  // namespace quorvanta::app::test

#endif
