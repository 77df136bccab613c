// Opening through the desktop: the opener starts detached (a session of its own, the standard
// descriptors on /dev/null, no signal blocked, the URL as its one argument with no shell between)
// and outlives the request; its end is reaped. Texts the opener would take for options are refused.
// Files go as URIs of their raw path bytes. Revealing asks a file manager on the session bus (a
// private bus and a fake FileManager1 here), and without one opens the parent folders.
#include "QuorvantaApp/shell/DesktopServices.h"

#include "tests/QuorvantaApp/support/PrivateBus.h"

#include "tests/support/EnvOverride.h"
#include "tests/support/PollFor.h"
#include "tests/support/TempDir.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QEventLoop>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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

TEST(DesktopServices, FileURIsCarryThePathsRawBytes) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"/home/me/a.txt", "file:///home/me/a.txt"},
        {"/home/me/-dash.txt", "file:///home/me/-dash.txt"},
        {"/home/me/My Files/x#1?.txt", "file:///home/me/My%20Files/x%231%3F.txt"},
        {"/home/me/b\xff.txt", "file:///home/me/b%FF.txt"},
        {"/home/me/\xc3\xa9t\xc3\xa9~_.txt", "file:///home/me/%C3%A9t%C3%A9~_.txt"},
        {"/", "file:///"},
    };
    for (const auto& [path, uri] : cases) EXPECT_EQ(fileURI(path), uri) << path;
    EXPECT_EQ(parentFolder("/home/me/a.txt"), "/home/me");
    EXPECT_EQ(parentFolder("/a.txt"), "/");
}

// A stand-in opener that leaves, per start, a file in $QV_OPENER_DIR with its argument count and
// arguments, one a line.
fs::path recordingOpener(const TempDir& dir) {
    const fs::path script = dir.write("recording-opener",
                                      "#!/bin/sh\n"
                                      "printf '%s\\n' \"$#\" \"$@\" > \"$QV_OPENER_DIR/$$.part\"\n"
                                      "mv \"$QV_OPENER_DIR/$$.part\" \"$QV_OPENER_DIR/$$.seen\"\n");
    fs::permissions(script, fs::perms::owner_all);
    return script;
}

// The single arguments the recording opener was started with, sorted, once `starts` starts have
// been seen.
std::vector<std::string> openedWith(const fs::path& seen, std::size_t starts) {
    std::vector<std::string> arguments;
    const auto count = [&] {
        std::size_t n = 0;
        for (const auto& entry : fs::directory_iterator(seen)) n += entry.path().extension() == ".seen";
        return n;
    };
    EXPECT_TRUE(pollFor([&] { return count() >= starts; })) << "the opener was not started " << starts << " times";
    for (const auto& entry : fs::directory_iterator(seen)) {
        if (entry.path().extension() != ".seen") continue;
        const std::string text = readFile(entry.path());
        EXPECT_EQ(text.substr(0, 2), "1\n") << "not one argument: " << text;
        arguments.push_back(text.substr(2, text.size() - 3));
    }
    std::sort(arguments.begin(), arguments.end());
    return arguments;
}

TEST(DesktopServices, EachFileReachesTheOpenerAsItsURIEvenANameStartingWithADash) {
    TempDir dir;
    const fs::path seen = dir / "seen";
    fs::create_directories(seen);
    quorvanta::test::EnvOverride where("QV_OPENER_DIR", seen.string());
    XdgDesktopServices desktop(recordingOpener(dir).string());
    const std::vector<std::string> paths{"/media/me/Disk/-rf", "/media/me/Disk/b\xff c.txt"};
    for (const auto& path : paths) ASSERT_TRUE(desktop.openUrl(fileURI(path)));
    EXPECT_EQ(openedWith(seen, 2), (std::vector<std::string>{"file:///media/me/Disk/-rf",
                                                             "file:///media/me/Disk/b%FF%20c.txt"}));
}

// Takes FileManager1.ShowItems calls on a private bus, as a file manager would.
class FakeFileManager final : public QDBusVirtualObject {
public:
    std::vector<QStringList> shown;
    std::vector<QString> startupIds;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QStringLiteral("ShowItems") || message.arguments().size() != 2) return false;
        shown.push_back(message.arguments()[0].toStringList());
        startupIds.push_back(message.arguments()[1].toString());
        connection.send(message.createReply());
        return true;
    }
};

bool runEventsUntil(const std::function<bool()>& done) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.hasExpired(20'000)) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

TEST(DesktopServices, RevealAsksTheFileManagerOnTheBusAndElseOpensTheParentFolders) {
    if (!test::PrivateBus::available()) GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus)";
    test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "the private bus did not start";
    TempDir dir;
    const fs::path seen = dir / "seen";
    fs::create_directories(seen);
    quorvanta::test::EnvOverride where("QV_OPENER_DIR", seen.string());
    const std::vector<std::string> paths{"/media/me/Disk/a b.txt", "/media/me/Disk/-x", "/media/me/Other/c\xff"};

    {
        // Without the service, each distinct parent folder goes to the opener.
        XdgDesktopServices desktop(recordingOpener(dir).string(), bus.connect(QStringLiteral("no-manager")));
        ASSERT_TRUE(desktop.reveal(paths));
        EXPECT_EQ(openedWith(seen, 2),
                  (std::vector<std::string>{"file:///media/me/Disk", "file:///media/me/Other"}));
    }
    for (const auto& entry : fs::directory_iterator(seen)) fs::remove(entry.path());

    QDBusConnection service = bus.connect(QStringLiteral("file-manager"));
    FakeFileManager manager;
    ASSERT_TRUE(service.registerService(QString::fromLatin1(XdgDesktopServices::kFileManagerService)));
    ASSERT_TRUE(service.registerVirtualObject(QString::fromLatin1(XdgDesktopServices::kFileManagerPath), &manager,
                                              QDBusConnection::SingleNode));
    XdgDesktopServices desktop(recordingOpener(dir).string(), bus.connect(QStringLiteral("asker")));
    ASSERT_TRUE(desktop.reveal(paths));
    ASSERT_TRUE(runEventsUntil([&] { return !manager.shown.empty(); })) << "ShowItems never arrived";
    EXPECT_EQ(manager.shown[0], (QStringList{QStringLiteral("file:///media/me/Disk/a%20b.txt"),
                                             QStringLiteral("file:///media/me/Disk/-x"),
                                             QStringLiteral("file:///media/me/Other/c%FF")}));
    EXPECT_EQ(manager.startupIds[0], QString());
    EXPECT_TRUE(fs::is_empty(seen)) << "the opener was started besides the file manager";
    service.unregisterObject(QString::fromLatin1(XdgDesktopServices::kFileManagerPath));
}

}  // namespace
}  // namespace quorvanta::app
