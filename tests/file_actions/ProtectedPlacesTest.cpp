// Which places no action changes: one table under two home folders, then the cases that need
// real links and mounts.
#include "file_actions/FileActions.h"

#include "platform/fs/FakeFileSystem.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvanta::FileActions {
namespace {

namespace fs = std::filesystem;
using test::EnvOverride;
using test::TempDir;

struct Row {
    std::string path;
    bool isProtected;
};

// Holds under any home folder.
const std::vector<Row> kAnyHome = {
    {"/", true},
    {"", true},
    {"relative/path", true},
    {"/home", true},
    {"/usr", true},
    {"/tmp", true},
    {"/opt", true},
    {"/home/me", true},
    {"/home/other", true},
    {"/home/me/Music", true},
    {"/home/other/Documents", true},
    {"/home/me/Templates", true},
    {"/home/me/Movies", true},
    {"/home/me/.config", true},
    {"/home/me/.local", true},
    {"/home/me/.cache", true},
    {"/usr/local/bin/x", true},
    {"/etc/passwd", true},
    {"/lib64/x", true},
    {"/boot/efi/x", true},
    {"/proc/1", true},
    {"/sys/class/x", true},
    {"/dev/null", true},
    {"/run/user/1000/x", true},
    {"/run/media", true},
    {"/run/media/me", true},
    {"/media/me/USB", true},
    {"/media/USB", true},
    {"/run/media/me/USB", true},
    {"/mnt/Backup", true},
    {"/home/me/a/../Music", true},
    {"/home/./me//Music/", true},
    {"/home/me/Music/..", true},
    {"/usr/../home/me", true},
    {"/../../etc", true},
    {"/home/me/Music/Album", false},
    {"/home/me/Musik", false},
    {"/home/me/music", false},  // case counts
    {"/home/me/Music/Album/../Live", false},
    {"/media/me/USB/Photos", false},
    {"/run/media/me/USB/x", false},
    {"/mnt/Backup/2024", false},
    {"/opt/app", false},
    {"/srv/data/x", false},
    {"/home/me/.config/app", false},
    {"/home/me/Documents/a.txt", false},
    {"/Home/me", false},  // not a home: case counts
    {"/Home/me/Music", false},
    {"/home/me/x/Music", false},
};

TEST(FileActionsProtected, TableUnderAHomeInHome) {
    EnvOverride home("HOME", "/home/me");
    std::vector<Row> rows = kAnyHome;
    rows.insert(rows.end(), {{"~", true}, {"~/Music", true}, {"~/", true}, {"~/Music/Album", false}, {"~me/x", true}});
    for (const auto& row : rows) EXPECT_EQ(isProtected(row.path), row.isProtected) << '"' << row.path << '"';
}

TEST(FileActionsProtected, TableUnderAHomeElsewhere) {
    EnvOverride home("HOME", "/var/lib/svc/");
    std::vector<Row> rows = kAnyHome;
    rows.insert(rows.end(), {
                                {"/var/lib/svc", true},
                                {"~", true},
                                {"~/Music", true},
                                {"/var/lib/svc/Downloads", true},
                                {"/var/lib/svc/.cache", true},
                                {"/var/lib/svc/Music/Album", false},
                                {"~/Music/Album", false},
                                {"/var/lib/svc/data", false},
                                {"/var/lib/other/Music", false},
                                {"/var/lib", false},
                            });
    for (const auto& row : rows) EXPECT_EQ(isProtected(row.path), row.isProtected) << '"' << row.path << '"';
}

TEST(FileActionsProtected, FoldersNamedInUserDirsAreStandardFolders) {
    TempDir config;
    config.write("user-dirs.dirs",
                 "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
                 "XDG_MUSIC_DIR=\"/srv/Musik\"\n"
                 "XDG_DESKTOP_DIR=\"$HOME/\"\n");  // switched off: the home folder itself
    EnvOverride configHome("XDG_CONFIG_HOME", config.path().string());
    EnvOverride home("HOME", "/home/me");
    const Row rows[] = {
        {"/home/me/Dokumente", true},
        {"~/Dokumente", true},
        {"/srv/Musik", true},
        {"/home/me/Documents", true},  // the English names stay protected
        {"/home/me/Dokumente/Brief.txt", false},
        {"/srv/Musik/Album", false},
        {"/home/me/dokumente", false},
    };
    for (const auto& row : rows) EXPECT_EQ(isProtected(row.path), row.isProtected) << row.path;

    EnvOverride noFile("XDG_CONFIG_HOME", (config / "elsewhere").string());
    EXPECT_FALSE(isProtected("/home/me/Dokumente"));
}

TEST(FileActionsProtected, StandardisingIsByText) {
    EnvOverride home("HOME", "/home/me");
    const std::pair<std::string, std::string> cases[] = {
        {"~", "/home/me"},
        {"~/Music", "/home/me/Music"},
        {"/a/./b//c/", "/a/b/c"},
        {"/a/b/../c", "/a/c"},
        {"/..", "/"},
        {"/a/../..", "/"},
        {"//", "/"},
        {"", ""},
        {"relative/../x", "relative/../x"},
        {"~other/x", "~other/x"},
    };
    for (const auto& [path, expected] : cases) EXPECT_EQ(standardisedPath(path), expected) << path;
    EXPECT_EQ(realPath("/System/Volumes/Data/home/me"), "/System/Volumes/Data/home/me");
}

TEST(FileActionsProtected, LinkedParentsAreJudgedWhereTheyLead) {
    TempDir dir;
    fs::create_directory_symlink("/usr", dir / "sys");
    fs::create_directory_symlink("/proc", dir / "to-mount");
    fs::create_directory_symlink("/home", dir / "homes");
    fs::create_directory(dir / "plain");
    const Row rows[] = {
        {(dir / "sys/share").string(), true},  // /usr/share
        {(dir / "sys/../sys/share").string(), true},
        {(dir / "homes/me").string(), true},   // /home/me
        {(dir / "sys").string(), false},       // the link itself is renamed, not /usr
        {(dir / "to-mount").string(), false},  // a link to a mount point is no mount point
        {(dir / "plain").string(), false},
        {(dir / "missing/x").string(), false},
    };
    for (const auto& row : rows) EXPECT_EQ(isProtected(row.path), row.isProtected) << row.path;
}

TEST(FileActionsProtected, MountPointsThroughTheFileSystem) {
    TempDir dir;
    fs::create_directory(dir / "drive");
    fs::create_directory(dir / "drive/inside");
    fs::create_directory_symlink(dir / "drive", dir / "link-to-drive");
    platform::FakeFileSystem fake;
    fake.pretendMount((dir / "drive").string(), 250, 1, 987'654);
    EXPECT_TRUE(isProtected((dir / "drive").string(), fake));
    EXPECT_TRUE(isMountPoint((dir / "drive").string(), fake));
    EXPECT_FALSE(isProtected((dir / "drive/inside").string(), fake));
    EXPECT_FALSE(isProtected((dir / "link-to-drive").string(), fake));
    EXPECT_FALSE(isMountPoint((dir / "link-to-drive").string(), fake));
}

TEST(FileActionsProtected, MountedFileSystemIsProtected) {
    TempDir dir;
    const fs::path mountPoint = dir / "mounted";
    fs::create_directory(mountPoint);
    const auto outcome = test::runInChild([&]() -> std::string {
        if (unshare(CLONE_NEWNS) != 0) return std::string("skip unshare(CLONE_NEWNS): ") + std::strerror(errno);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("skip making mounts private: ") + std::strerror(errno);
        if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0)
            return std::string("skip tmpfs mount: ") + std::strerror(errno);
        fs::create_directory(mountPoint / "inside");
        if (!isProtected(mountPoint.string())) return "the mount point is not protected";
        if (isProtected((mountPoint / "inside").string())) return "a folder inside the mount is protected";
        try {
            changeName(mountPoint.string(), "renamed");
            return "the mount point was renamed";
        } catch (const Failure& failure) {
            if (failure != Failure::protected_(mountPoint.string()))
                return std::string("wrong failure ") + failure.what();
        }
        return "ok";
    });
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    if (outcome.output.rfind("skip ", 0) == 0) GTEST_SKIP() << outcome.output.substr(5);
    EXPECT_EQ(outcome.output, "ok");
    EXPECT_FALSE(isProtected(mountPoint.string())) << "outside the child it is a plain folder";
}

}  // namespace
}  // namespace quorvanta::FileActions
