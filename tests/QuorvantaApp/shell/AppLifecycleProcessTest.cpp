// The desktop application run as a user runs it, offscreen, in a private home: it indexes a forced
// root and a termination signal ends it through its quit path with status 0 — the snapshot then
// holds what was added after the first save, and a snapshot whose volume was still scanning stays
// as it was. Sanitizer reports go to files in the home, so one the process survives is seen too.
// Without a display it says why; its benchmark and self test need none.
#include "QuorvantaCore/api/LocalAPIClient.h"
#include "QuorvantaCore/json/JSONText.h"
#include "tests/support/AppRun.h"
#include "tests/support/PollFor.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#if defined(QUORVANTA_APP_PATH) && defined(QUORVANTA_CLI_PATH)

namespace quorvanta::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvanta::test::AppRun;
using quorvanta::test::findCount;
using quorvanta::test::pollFor;
using quorvanta::test::readFile;
using quorvanta::test::RunOptions;
using quorvanta::test::runProgram;
using quorvanta::test::RunResult;
using quorvanta::test::TempDir;

const fs::path kApp = QUORVANTA_APP_PATH;
const fs::path kCli = QUORVANTA_CLI_PATH;

// `name`'s value with `option` added, for the sanitizers' colon-separated settings.
std::string withOption(const char* name, const std::string& option) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) + ":" + option : option;
}

// The application offscreen in `home`, its sanitizer reports written as files there.
RunOptions offscreen(const fs::path& home) {
    RunOptions options;
    options.home = home;
    const std::string reports = "log_path=" + (home / "sanitizer-report").string();
    options.env = {{"QT_QPA_PLATFORM", "offscreen"},
                   {"ASAN_OPTIONS", withOption("ASAN_OPTIONS", reports)},
                   {"UBSAN_OPTIONS", withOption("UBSAN_OPTIONS", reports)}};
    return options;
}

// What the sanitizers reported in `home`, one text per report file.
std::vector<std::string> sanitizerReports(const fs::path& home) {
    std::vector<std::string> reports;
    for (const auto& entry : fs::directory_iterator(home))
        if (entry.path().filename().string().starts_with("sanitizer-report")) reports.push_back(readFile(entry.path()));
    return reports;
}

// The hits `quorvanta-cli snap-load` finds for `query` in a snapshot; -1 when it failed.
int snapshotHits(const fs::path& snapshot, const std::string& query) {
    const RunResult r = runProgram(kCli, {"snap-load", snapshot.string(), "--query", query});
    std::smatch hits;
    if (r.status != 0 || !std::regex_search(r.out, hits, std::regex(R"(\(([0-9]+) hits\))"))) return -1;
    return std::stoi(hits[1]);
}

TEST(AppLifecycleProcess, ASignalEndsItWithStatus0AndTheLateFileSaved) {
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        TempDir home;
        home.write("tree/a/one.txt", "1");
        home.write("tree/b/two.txt", "2");
        const std::string root = fs::canonical(home / "tree").string();
        AppRun app(kApp, kCli, {{"localAPI", true}}, {"--root", root}, offscreen(home.path()));
        ASSERT_TRUE(pollFor([&] { return app.snapshots().contains(root); })) << "no first snapshot";

        const std::string late = "latecomer" + std::to_string(signal);
        home.write("tree/b/" + late + ".txt", "late");
        ASSERT_TRUE(pollFor([&] { return app.scannedVolumes()[root] == findCount(root); }))
            << "the application never reported the new file";

        EXPECT_EQ(app.endWith(signal), 0);
        EXPECT_FALSE(app.socketExists());
        EXPECT_EQ(snapshotHits(app.snapshots().at(root), late), 1);
        EXPECT_EQ(sanitizerReports(home.path()), std::vector<std::string>{});
    }
}

// The volume's status in the application's reply, once it answers; none before.
std::optional<nlohmann::json> volumeStatus(const std::string& socket) {
    try {
        const auto reply = core::parseJSONStrict(core::LocalAPIClient::send(R"({"op":"status"})", socket));
        if (!reply || !reply->contains("volumes") || (*reply)["volumes"].size() != 1) return std::nullopt;
        return (*reply)["volumes"][0];
    } catch (const core::LocalAPIClient::ClientError&) {
        return std::nullopt;
    }
}

// The tree is large enough that its scan still runs when the signal comes: the test sends it as
// soon as the application reports the scan under way, and the application ends a few milliseconds
// later, a small part of the scan's time even on a fast machine.
TEST(AppLifecycleProcess, SIGTERMDuringAScanLeavesTheEarlierSnapshotAsItWas) {
    TempDir home;
    const fs::path root = home / "QuorvantaTestTree";
    home.write("QuorvantaTestTree/first.txt", "1");
    fs::path snapshot;
    {
        AppRun first(kApp, kCli, {{"localAPI", true}}, {"--root", root.string()}, offscreen(home.path()));
        ASSERT_TRUE(pollFor([&] { return first.snapshots().contains(root.string()); })) << "no first snapshot";
        ASSERT_EQ(first.endWith(SIGTERM), 0);
        snapshot = first.snapshots().at(root.string());
    }
    const std::string before = readFile(snapshot);
    ASSERT_FALSE(before.empty());

    RunOptions inHome;
    inHome.home = home.path();
    const RunResult generated = runProgram(kCli, {"gen-tree", root.string(), "--files", "60000"}, inHome);
    ASSERT_EQ(generated.status, 0) << generated.out << generated.err;

    // Another exclusion list: the earlier snapshot no longer matches and the root is scanned anew.
    const nlohmann::json settings{{"localAPI", true}, {"excludedPaths", {"/nowhere/quorvanta-excluded"}}};
    AppRun second(kApp, kCli, settings, {"--root", root.string()}, offscreen(home.path()));
    std::optional<nlohmann::json> status;
    ASSERT_TRUE(pollFor([&] { return (status = volumeStatus(second.socket())).has_value(); }, 1ms));
    ASSERT_TRUE((*status)["scanning"].get<bool>()) << "the scan ended before the signal: " << status->dump();
    EXPECT_EQ(second.endWith(SIGTERM), 0);
    EXPECT_EQ(readFile(snapshot), before) << "the snapshot of a volume still scanning was written";
    EXPECT_EQ(sanitizerReports(home.path()), std::vector<std::string>{});
}

// The benchmark stands for both modes that run before the desktop runner is asked (the self test
// takes ten seconds of query windows).
TEST(AppLifecycleProcess, WithoutADisplayItSaysWhyWhileItsModesNeedNone) {
    TempDir home;
    home.write("tree/one.remix", "");
    const std::string root = (home / "tree").string();
    RunOptions noDisplay;
    noDisplay.home = home.path();
    noDisplay.unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

    const RunResult desktop = runProgram(kApp, {"--root", root}, noDisplay);
    EXPECT_EQ(desktop.status, 1);
    EXPECT_NE(desktop.err.find("neither DISPLAY nor WAYLAND_DISPLAY is set"), std::string::npos) << desktop.err;
    EXPECT_FALSE(fs::exists(home / ".local/share/Quorvanta/api.sock"));

    const RunResult bench = runProgram(kApp, {"--startup-bench", "--no-persist", "--root", root}, noDisplay);
    EXPECT_EQ(bench.status, 0) << bench.err;
    EXPECT_TRUE(std::regex_match(
        bench.out, std::regex(R"(startup: [0-9]+ ms from main\(\) to [1-9][0-9]* rows \(tree=2 scan\)\n)")))
        << bench.out;
}

}  // namespace
}  // namespace quorvanta::app

#endif
