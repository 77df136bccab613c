// Opening through the desktop: the opener starts detached (a session of its own, the standard
// descriptors on /dev/null, no signal blocked, the URL as its one argument with no shell between)
// and outlives the request; its end is reaped. Texts the opener would take for options are refused.
#include "QuorvantaApp/shell/DesktopServices.h"

#include "tests/support/EnvOverride.h"
#include "tests/support/PollFor.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

namespace quorvanta::app {
namespace {

namespace fs = std::filesystem;
using quorvanta::test::pollFor;
using quorvanta::test::readFile;
using quorvanta::test::TempDir;

// A stand-in opener: once $QV_OPENER_GO exists (the test makes it after the request returned, so
// the opener outlives the request), it writes what it was started with to $QV_OPENER_OUT, as
// "key=value" lines.
fs::path standInOpener(const TempDir& dir) {
    const fs::path script = dir.write("opener",
                                      "#!/bin/sh\n"
                                      "while [ ! -e \"$QV_OPENER_GO\" ]; do sleep 0.01; done\n"
                                      "stdout=$(readlink /proc/$$/fd/1)\n"
                                      "{\n"
                                      "  echo \"args=$#\"\n"
                                      "  echo \"url=$1\"\n"
                                      "  echo \"pid=$$\"\n"
                                      "  echo \"session=$(cut -d' ' -f6 /proc/$$/stat)\"\n"
                                      "  echo \"blocked=$(sed -n 's/^SigBlk:[[:space:]]*//p' /proc/$$/status)\"\n"
                                      "  echo \"stdin=$(readlink /proc/$$/fd/0)\"\n"
                                      "  echo \"stdout=$stdout\"\n"
                                      "} > \"$QV_OPENER_OUT.part\"\n"
                                      "mv \"$QV_OPENER_OUT.part\" \"$QV_OPENER_OUT\"\n");
    fs::permissions(script, fs::perms::owner_all);
    return script;
}

std::map<std::string, std::string> keyValues(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (const auto eq = line.find('='); eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    return values;
}

TEST(DesktopServices, TheOpenerStartsDetachedWithTheURLAsItsOneArgument) {
    TempDir dir;
    const fs::path out = dir / "seen";
    const fs::path go = dir / "go";
    quorvanta::test::EnvOverride where("QV_OPENER_OUT", out.string());
    quorvanta::test::EnvOverride when("QV_OPENER_GO", go.string());
    XdgDesktopServices desktop(standInOpener(dir).string());
    const std::string url = "/home/me/My Files/$(touch pwned) 'quoted'.txt";

    // The application blocks its termination signals; the opener must not inherit that.
    sigset_t terminate, before;
    sigemptyset(&terminate);
    sigaddset(&terminate, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &terminate, &before);
    const bool opened = desktop.openUrl(url);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ASSERT_TRUE(opened);
    dir.write("go", "");
    ASSERT_TRUE(pollFor([&] { return fs::exists(out); })) << "the opener never ran";
    const auto seen = keyValues(readFile(out));
    EXPECT_EQ(seen.at("args"), "1");
    EXPECT_EQ(seen.at("url"), url);
    EXPECT_EQ(seen.at("session"), seen.at("pid")) << "not in a session of its own";
    EXPECT_EQ(seen.at("blocked"), "0000000000000000");
    EXPECT_EQ(seen.at("stdin"), "/dev/null");
    EXPECT_EQ(seen.at("stdout"), "/dev/null");
    EXPECT_FALSE(fs::exists("pwned"));
    const fs::path process = "/proc/" + seen.at("pid");
    EXPECT_TRUE(pollFor([&] { return !fs::exists(process); })) << "the opener's end was never reaped";
}

TEST(DesktopServices, RefusesWhatTheOpenerWouldTakeForAnOptionAndAMissingOpener) {
    TempDir dir;
    XdgDesktopServices desktop(standInOpener(dir).string());
    for (const char* url : {"", "-", "--version", "-help"}) EXPECT_FALSE(desktop.openUrl(url)) << url;

    XdgDesktopServices missing(std::nullopt);
    EXPECT_FALSE(missing.openUrl("/tmp"));
    XdgDesktopServices notThere((dir / "no-such-opener").string());
    EXPECT_FALSE(notThere.openUrl("/tmp"));
}

}  // namespace
}  // namespace quorvanta::app
