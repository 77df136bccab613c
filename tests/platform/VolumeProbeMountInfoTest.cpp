#include "platform/volumes/MountInfo.h"
#include "platform/volumes/MountOfPath.h"

#include "tests/support/TempDir.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace quorvanta::platform {
namespace {

// A table as the kernel writes it, with every escape, optional fields of several kinds, FUSE and
// NFS mounts, a btrfs subvolume, a bind mount and lines that must be skipped.
constexpr const char* kTable =
    "21 27 0:20 / /proc rw,relatime - proc proc rw\n"
    "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/root rw,discard\n"
    "30 27 0:45 / /home/u/My\\040Files\\011tab\\012lf\\134bs rw shared:5 master:2 propagate_from:1 "
    "unbindable - fuse.sshfs u@host:/srv\\040x rw,user_id=0\n"
    "31 27 0:46 / /mnt/nfs rw - nfs4 server:/export rw,vers=4.2\n"
    "32 27 0:47 /@home /home rw,relatime shared:7 - btrfs /dev/nvme0n1p2 rw,subvol=/@home\n"
    "33 27 254:0 /srv/data /bind rw - ext4 /dev/root rw\n"
    "garbage\n"
    "\n"
    "34 27 x:1 / /bad-device rw - ext4 /dev/x rw\n"
    "35 27 8:1 / /no-separator rw ext4 /dev/sda1 rw\n"
    "36 27 8:1 / /nothing-after-separator rw -\n"
    "37 27 8:1 / /type-only rw - ext4\n"
    "38 27 81 / /no-colon rw - ext4 /dev/sda1 rw\n"
    "-1 27 8:1 / /negative-id rw - ext4 /dev/sda1 rw\n"
    "39 27 8:1 / /odd\\04escape\\999 rw - ext4 /dev/sda1\n"  // no super options: still read
    "40 27 8:2 / /last-line-without-feed rw - xfs /dev/sda2 rw";

TEST(VolumeProbeMountInfo, ParsesTheKernelTable) {
    const auto mounts = parseMountInfo(kTable);
    struct Expected {
        std::uint64_t id, parent;
        unsigned major, minor;
        const char *root, *mountPoint, *fsType, *source;
    };
    const Expected expected[] = {
        {21, 27, 0, 20, "/", "/proc", "proc", "proc"},
        {27, 1, 254, 0, "/", "/", "ext4", "/dev/root"},
        {30, 27, 0, 45, "/", "/home/u/My Files\ttab\nlf\\bs", "fuse.sshfs", "u@host:/srv x"},
        {31, 27, 0, 46, "/", "/mnt/nfs", "nfs4", "server:/export"},
        {32, 27, 0, 47, "/@home", "/home", "btrfs", "/dev/nvme0n1p2"},
        {33, 27, 254, 0, "/srv/data", "/bind", "ext4", "/dev/root"},
        {39, 27, 8, 1, "/", "/odd\\04escape\\999", "ext4", "/dev/sda1"},
        {40, 27, 8, 2, "/", "/last-line-without-feed", "xfs", "/dev/sda2"},
    };
    ASSERT_EQ(mounts.size(), std::size(expected));
    for (std::size_t i = 0; i < mounts.size(); ++i) {
        const auto& m = mounts[i];
        const auto& e = expected[i];
        SCOPED_TRACE("entry " + std::to_string(i) + " (" + e.mountPoint + ")");
        EXPECT_EQ(m.mountID, e.id);
        EXPECT_EQ(m.parentID, e.parent);
        EXPECT_EQ(m.devMajor, e.major);
        EXPECT_EQ(m.devMinor, e.minor);
        EXPECT_EQ(m.root, e.root);
        EXPECT_EQ(m.mountPoint, e.mountPoint);
        EXPECT_EQ(m.fsType, e.fsType);
        EXPECT_EQ(m.source, e.source);
    }
}

TEST(VolumeProbeMountInfo, SurvivesArbitraryBytes) {
    std::string text = kTable;
    for (std::size_t cut = 0; cut <= text.size(); cut += 7) parseMountInfo(text.substr(0, cut));
    std::string noise;
    for (int i = 0; i < 4096; ++i) noise.push_back(static_cast<char>((i * 7919) % 251));
    EXPECT_TRUE(parseMountInfo(noise).empty());
    EXPECT_TRUE(parseMountInfo("").empty());
}

TEST(VolumeProbeMountInfo, ReadsTheProcessTable) {
    const auto mounts = readMountInfo();
    ASSERT_TRUE(mounts.has_value());
    EXPECT_FALSE(mounts->empty());
    EXPECT_FALSE(readMountInfo("/nonexistent/mountinfo").has_value());
}

std::string line(std::uint64_t id, const std::string& mountPoint, const std::string& fsType) {
    return std::to_string(id) + " 1 8:1 / " + mountPoint + " rw - " + fsType + " /dev/sda1 rw\n";
}

TEST(VolumeProbeMountInfo, FindsThePathsMountByItsID) {
    test::TempDir dir;
    const auto mountID = mountIDOfPath(dir.path());
    if (!mountID) GTEST_SKIP() << "statx gives no mount id here";
    const auto id = *mountID;
    // The id wins over a longer mount point that would match by prefix.
    const auto mounts = parseMountInfo(line(id + 1, "/", "xfs") + line(id, "/elsewhere", "ext4") +
                                       line(id + 2, std::filesystem::canonical(dir.path()), "tmpfs"));
    const auto mount = mountOfPath(dir.path(), mounts);
    ASSERT_TRUE(mount.has_value());
    EXPECT_EQ(mount->mountPoint, "/elsewhere");
    EXPECT_FALSE(mountOfPath(dir / "missing", mounts).has_value());
}

TEST(VolumeProbeMountInfo, FallsBackToTheLongestMountPointOfTheResolvedPath) {
    test::TempDir dir;
    const auto real = std::filesystem::canonical(dir.path()).string();
    std::filesystem::create_directories(dir / "a/b");
    std::filesystem::create_directory_symlink(dir / "a/b", dir / "link");
    const auto id = mountIDOfPath(dir.path()).value_or(1000);
    // None of these ids is the path's own, so only the prefix can decide.
    const auto mounts = parseMountInfo(line(id + 1, "/", "ext4") + line(id + 2, real + "/a", "xfs") +
                                       line(id + 3, real + "/a", "btrfs") +  // stacked: on top
                                       line(id + 4, real + "/a/bc", "vfat"));
    struct Case {
        std::filesystem::path path;
        const char* fsType;
    };
    const Case cases[] = {
        {dir / "a", "btrfs"},
        {dir / "a/b", "btrfs"},
        {dir / "link", "btrfs"},  // links are resolved before the prefix test
        {dir.path(), "ext4"},
    };
    for (const auto& c : cases) {
        const auto mount = mountOfPath(c.path, mounts);
        ASSERT_TRUE(mount.has_value()) << c.path;
        EXPECT_EQ(mount->fsType, c.fsType) << c.path;
    }
    EXPECT_EQ(mountByPrefix(real + "/a/bc/d", mounts)->fsType, "vfat");
    EXPECT_EQ(mountByPrefix(real + "/a/bcd", mounts)->fsType, "btrfs") << "whole components only";
    EXPECT_EQ(mountByPrefix(real + "/a/bx", mounts)->fsType, "btrfs");
    EXPECT_FALSE(mountByPrefix("/x", parseMountInfo(line(1, "/y", "ext4"))).has_value());
}

}  // namespace
}  // namespace quorvanta::platform
