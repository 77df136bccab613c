// The folder-access check and the launch's onboarding rules: which chosen folders count as closed
// (over a file system whose failures are scripted, and for real under an unprivileged uid), when
// the launch shows the onboarding instead of indexing, and what "Open folder" opens.
#include "QuorvantaApp/model/access/FolderAccess.h"
#include "QuorvantaApp/model/access/Onboarding.h"

#include "platform/fs/FakeFileSystem.h"
#include "platform/settings/Settings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvanta::app {
namespace {

namespace fs = std::filesystem;
using platform::FakeFileSystem;

// Four drives in a temporary folder, all with stored sources: "whole" (enabled, whole, readable),
// "chosen" (enabled, five folders: readable, EACCES, EPERM, missing, below a file), "share" (a
// network drive whose open would fail), "off" (disabled, whose open would fail); and "unknown",
// a system disk without stored settings, whose defaults would index the personal folders (one is
// made in the test's home): the model makes no volume of it, so it is not checked either.
// Failures are scripted; missing and not-a-folder are real.
struct AccessWorld {
    AccessWorld() {
        for (const char* folder :
             {"whole", "chosen/readable", "chosen/eacces", "chosen/eperm", "share", "off", "unknown"})
            fs::create_directories(dir / folder);
        dir.write("chosen/file", "x");
        const char* home = std::getenv("HOME");
        if (home) fs::create_directories(fs::path(home) / "Documents");
        Candidate unknown = drive("unknown");
        unknown.isInternal = true;
        candidates = {drive("whole"), drive("chosen"), drive("share", true), drive("off"), unknown};
        SourceMap sources;
        sources[root("whole")] = SourceConfig{true, true, {}, {}};
        sources[root("chosen")] =
            SourceConfig{true, false, {"readable", "eacces", "/eperm", "missing", "file/sub"}, {}};
        sources[root("share")] = SourceConfig{true, true, {}, {}};
        sources[root("off")] = SourceConfig{false, true, {}, {}};
        prefs.setSources(sources);
        prefs.setConfigured(true);
        files.fail(FakeFileSystem::Op::open, root("chosen") + "/eacces", EACCES);
        files.fail(FakeFileSystem::Op::open, root("chosen") + "/eperm", EPERM);
        for (const char* refused : {"share", "off", "unknown"})
            files.fail(FakeFileSystem::Op::open, root(refused), EACCES);
    }

    std::string root(const std::string& name) const { return (dir / name).string(); }
    Candidate drive(const std::string& name, bool network = false) const {
        return Candidate{root(name), name, root(name), "", false, network};
    }
    std::vector<std::string> opened() const {
        std::vector<std::string> paths;
        for (const auto& call : files.calls())
            if (call.op == FakeFileSystem::Op::open) paths.push_back(call.path);
        return paths;
    }

    quorvanta::test::TempDir dir;
    platform::MemorySettings settings;
    Prefs prefs{settings};
    std::vector<Candidate> candidates;
    FakeFileSystem files;
};

TEST(FolderAccessCheck, OnlyAccessRefusalsOfEnabledLocalFoldersCount) {
    struct Case {
        const char* name;
        bool configured;
        bool rootsForced;
        std::vector<std::string> closed;  // below the temporary folder
        std::vector<std::string> opened;
    };
    const std::vector<std::string> everyLocalFolder = {"whole",        "chosen/readable", "chosen/eacces",
                                                       "chosen/eperm", "chosen/missing",  "chosen/file/sub"};
    const Case cases[] = {
        // The whole drive opens; of the chosen folders only EACCES and EPERM are closed: a folder
        // that is gone or lies below a file is the scan's to report. The network drive, the
        // disabled source and the drive without settings are never opened.
        {"configured sources", true, false, {"chosen/eacces", "chosen/eperm"}, everyLocalFolder},
        {"nothing configured", false, false, {}, {}},
        {"--root", true, true, {}, {}},
    };
    {
        AccessWorld world;
        ASSERT_FALSE(Prefs::scopes(world.prefs.source(world.root("unknown"), true), world.root("unknown")).empty())
            << "the system disk's defaults would give no folder: the drive without settings shows nothing";
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AccessWorld world;
        world.prefs.setConfigured(c.configured);
        std::vector<std::string> closed, opened;
        for (const auto& name : c.closed) closed.push_back(world.root(name));
        for (const auto& name : c.opened) opened.push_back(world.root(name));
        EXPECT_EQ(FolderAccess::check(world.candidates, world.prefs, c.rootsForced, world.files), closed);
        EXPECT_EQ(world.opened(), opened);
    }
}

TEST(FolderAccessCheck, TheFoldersItOpensAreClosedAgain) {
    AccessWorld world;
    const auto count = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); };
    const auto open = count();
    for (int i = 0; i < 50; ++i) FolderAccess::check(world.candidates, world.prefs, false, world.files);
    EXPECT_EQ(count(), open) << "descriptors left open";
}

// Lets other users pass through the folders above `path` (the test run's own temporary home is
// closed to them) while it lives, and gives them back their modes after.
class PassableAncestors {
public:
    explicit PassableAncestors(const fs::path& path) {
        for (fs::path folder = path.parent_path(); folder != folder.root_path(); folder = folder.parent_path()) {
            struct stat status {};
            if (::stat(folder.c_str(), &status) != 0 || (status.st_mode & S_IXOTH)) continue;
            if (::chmod(folder.c_str(), (status.st_mode & 07777) | S_IXOTH) == 0)
                changed_.emplace_back(folder, status.st_mode & 07777);
        }
    }
    ~PassableAncestors() {
        for (const auto& [folder, mode] : changed_) ::chmod(folder.c_str(), mode);
    }
    PassableAncestors(const PassableAncestors&) = delete;
    PassableAncestors& operator=(const PassableAncestors&) = delete;

private:
    std::vector<std::pair<fs::path, mode_t>> changed_;
};

TEST(FolderAccessUnprivileged, AFolderClosedToTheUserIsListedAndAnOpenOneIsNot) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to make a folder another user cannot read";
    quorvanta::test::TempDir dir;
    const PassableAncestors passable(dir.path());
    fs::create_directories(dir / "drive/closed");
    fs::create_directories(dir / "drive/open");
    for (const auto& [path, mode] : {std::pair{dir.path(), 0755}, std::pair{dir / "drive", 0755},
                                     std::pair{dir / "drive/closed", 0700}, std::pair{dir / "drive/open", 0755}})
        ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
    const std::string root = (dir / "drive").string();
    platform::MemorySettings settings;
    Prefs prefs{settings};
    prefs.setSources({{root, SourceConfig{true, false, {"closed", "open"}, {}}}});
    prefs.setConfigured(true);
    const std::vector<Candidate> drives = {Candidate{root, "drive", root, "", false, false}};

    const auto outcome = quorvanta::test::runInChild([&]() -> std::string {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) return "skip: cannot switch to uid 65534";
        const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return "skip: uid 65534 cannot reach the temporary folder " + root;
        ::close(fd);
        std::string listed;
        for (const std::string& folder : FolderAccess::check(drives, prefs, false)) listed += folder + "\n";
        return listed;
    });
    if (outcome.output.starts_with("skip: ")) GTEST_SKIP() << outcome.output.substr(6);
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    EXPECT_EQ(outcome.output, root + "/closed\n");
}

TEST(OnboardingLaunchDecision, ShownOnlyForClosedFoldersNotDismissedAndNoForcedRoots) {
    struct Case {
        const char* name;
        bool closed;
        std::optional<platform::SettingValue> dismissed;  // none: absent
        bool rootsForced;
        bool shown;
    };
    const Case cases[] = {
        {"closed folders, never dismissed", true, std::nullopt, false, true},
        {"closed folders, dismissed false", true, platform::SettingValue(false), false, true},
        {"a value of another kind counts as false", true, platform::SettingValue(std::string("yes")), false, true},
        {"closed folders, dismissed", true, platform::SettingValue(true), false, false},
        {"closed folders, --root", true, std::nullopt, true, false},
        {"nothing closed", false, std::nullopt, false, false},
        {"nothing closed, dismissed, --root", false, platform::SettingValue(true), true, false},
    };
    for (const Case& c : cases) {
        platform::MemorySettings settings;
        if (c.dismissed) {
            if (const bool* on = std::get_if<bool>(&*c.dismissed))
                settings.setBoolean(Onboarding::kDismissedKey, *on);
            else
                settings.setText(Onboarding::kDismissedKey, std::get<std::string>(*c.dismissed));
        }
        const std::vector<std::string> closed =
            c.closed ? std::vector<std::string>{"/media/me/Disk/Private"} : std::vector<std::string>{};
        EXPECT_EQ(Onboarding::needed(closed, settings, c.rootsForced), c.shown) << c.name;
    }
}

TEST(OnboardingLaunchDecision, LaterIsRememberedForTheNextLaunch) {
    platform::MemorySettings settings;
    const std::vector<std::string> closed = {"/media/me/Disk/Private"};
    ASSERT_TRUE(Onboarding::needed(closed, settings, false));
    Onboarding::dismiss(settings);
    EXPECT_EQ(settings.boolean(Onboarding::kDismissedKey), true);
    EXPECT_FALSE(Onboarding::needed(closed, settings, false));
}

TEST(OnboardingFolderToOpen, TheFolderHoldingTheFirstClosedOneAsAFileURL) {
    struct Case {
        std::vector<std::string> closed;
        std::optional<std::string> url;
    };
    const Case cases[] = {
        {{"/media/me/Disk/Private", "/srv/other"}, "file:///media/me/Disk"},
        {{"/srv/Über Ordner/x"}, "file:///srv/%C3%9Cber%20Ordner"},
        {{"/home/me/50%#?/a"}, "file:///home/me/50%25%23%3F"},
        {{"/top"}, "file:///"},
        {{}, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Onboarding::folderToOpen(c.closed), c.url) << (c.closed.empty() ? "none" : c.closed.front());
}

}  // namespace
}  // namespace quorvanta::app
