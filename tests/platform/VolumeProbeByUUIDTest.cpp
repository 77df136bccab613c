#include "platform/volumes/ByUUID.h"
#include "platform/volumes/FsUUIDIoctl.h"
#include "platform/volumes/MountOfPath.h"
#include "platform/volumes/VolumeUUID.h"

#include "tests/support/TempDir.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace quorvanta::platform {
namespace {

namespace fs = std::filesystem;

TEST(VolumeProbeByUUID, DecodesUdevEscapes) {
    const std::pair<const char*, const char*> cases[] = {
        {"ABCD\\x2d1234", "ABCD-1234"},
        {"a\\x20b", "a b"},
        {"..\\x2f..\\x2fetc", "../../etc"},
        {"\\x5C", "\\"},
        {"\\xZZ", "\\xZZ"},  // not hexadecimal: kept
        {"end\\x2", "end\\x2"},
        {"plain-1234", "plain-1234"},
    };
    for (const auto& [name, decoded] : cases) EXPECT_EQ(decodeUdevName(name), decoded) << name;
}

TEST(VolumeProbeByUUID, AcceptsOnlyLettersDigitsAndHyphens) {
    for (const char* good : {"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0", "ABCD-1234", "2023-01-01-00-00-00-00"})
        EXPECT_TRUE(isSafeVolumeIdentifier(good)) << good;
    for (const char* bad : {"", "..", "a/b", "../x", "a b", "a_b", "a.b", "\xc3\xa9", "a\nb"})
        EXPECT_FALSE(isSafeVolumeIdentifier(bad)) << bad;
    EXPECT_FALSE(isSafeVolumeIdentifier(std::string("ab\0cd", 5)));
}

MountEntry mountOf(unsigned major, unsigned minor, std::string source, std::string fsType = "ext4") {
    MountEntry m;
    m.devMajor = major;
    m.devMinor = minor;
    m.source = std::move(source);
    m.fsType = std::move(fsType);
    m.mountPoint = "/";
    m.root = "/";
    return m;
}

// Links to plain files stand for device nodes the mount table names by path (btrfs, whose
// mounts carry an anonymous device number).
TEST(VolumeProbeByUUID, MatchesLinksByTheResolvedSourcePath) {
    test::TempDir dir;
    test::TempDir other;
    const auto disk = dir.write("devs/nvme0n1p2", "");
    const auto sideDisk = dir.write("devs/sdb1", "");
    fs::create_directory(dir / "by-uuid");
    fs::create_symlink("../devs/nvme0n1p2", dir / "by-uuid/5555-eeee");
    fs::create_symlink(dir / "devs/gone", dir / "by-uuid/dead-beef");  // dangling
    fs::create_symlink(sideDisk, dir / "by-uuid/a\\x2fb");             // decodes to "a/b"
    fs::create_symlink(dir / "devs", other / "alias");                 // the source names a link

    const auto folder = dir / "by-uuid";
    EXPECT_EQ(uuidFromByUUIDFolder(mountOf(0, 47, disk), folder), "5555-eeee");
    EXPECT_EQ(uuidFromByUUIDFolder(mountOf(0, 47, (other / "alias/nvme0n1p2").string()), folder), "5555-eeee");
    EXPECT_EQ(uuidFromByUUIDFolder(mountOf(0, 48, sideDisk), folder), std::nullopt)
        << "an unsafe name is never answered";
    EXPECT_EQ(uuidFromByUUIDFolder(mountOf(0, 49, (dir / "devs/gone").string()), folder), std::nullopt);
    EXPECT_EQ(uuidFromByUUIDFolder(mountOf(0, 50, "tmpfs"), folder), std::nullopt);
    EXPECT_EQ(uuidFromByUUIDFolder(mountOf(0, 47, disk), dir / "missing"), std::nullopt);
}

// Block device nodes made in the fixture stand for /dev/sdX: the device number decides, whatever
// the mount table calls the source ("/dev/root").
TEST(VolumeProbeByUUID, MatchesLinksByTheDeviceNumber) {
    test::TempDir dir;
    fs::create_directories(dir / "devs");
    fs::create_directories(dir / "by-uuid");
    for (const auto& [name, minor] : {std::pair{"sda1", 1u}, {"sda2", 2u}, {"sda3", 3u}}) {
        if (mknod((dir / "devs" / name).c_str(), S_IFBLK | 0600, makedev(250, minor)) != 0)
            GTEST_SKIP() << "cannot make block device nodes here: " << std::strerror(errno);
    }
    fs::create_symlink("../devs/sda1", dir / "by-uuid/2222-CCCC");
    fs::create_symlink("../devs/sda1", dir / "by-uuid/1111-AAAA");  // a second link, smaller name
    fs::create_symlink("../devs/sda2", dir / "by-uuid/ABCD\\x2d1234");
    fs::create_symlink("../devs/sda3", dir / "by-uuid/..\\x2f..\\x2fetc");

    const auto folder = dir / "by-uuid";
    struct Case {
        unsigned minor;
        std::optional<std::string> uuid;
    };
    const Case cases[] = {{1, "1111-AAAA"}, {2, "ABCD-1234"}, {3, std::nullopt}, {9, std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(uuidFromByUUIDFolder(mountOf(250, c.minor, "/dev/root"), folder), c.uuid) << "device 250:" << c.minor;

    EXPECT_TRUE(isBlockDeviceMount(mountOf(0, 60, (dir / "devs/sda1").string(), "btrfs")));
}

TEST(VolumeProbeByUUID, OnlyBlockDeviceMountsHaveAVolumeUUID) {
    const struct {
        MountEntry mount;
        bool block;
    } cases[] = {
        {mountOf(8, 1, "/dev/sda1"), true},
        {mountOf(254, 0, "/dev/root"), true},
        {mountOf(0, 45, "tmpfs", "tmpfs"), false},
        {mountOf(0, 46, "overlay", "overlay"), false},
        {mountOf(0, 47, "u@host:/srv", "fuse.sshfs"), false},
        {mountOf(0, 48, "server:/export", "nfs4"), false},
        {mountOf(8, 1, "//server/share", "cifs"), false},  // network even with a device number
        {mountOf(0, 49, "/nonexistent/dev", "btrfs"), false},
    };
    for (const auto& c : cases) EXPECT_EQ(isBlockDeviceMount(c.mount), c.block) << c.mount.source;
}

// The test folder lies on a real file system whose kernel may well report a UUID: the mount
// table decides whether it may be used.
TEST(VolumeProbeByUUID, VolumeUUIDFollowsTheMountOfThePath) {
    test::TempDir dir;
    const auto mountID = mountIDOfPath(dir.path());
    if (!mountID) GTEST_SKIP() << "statx gives no mount id here";
    const auto id = *mountID;
    const auto disk = dir.write("devs/vdb", "");
    fs::create_directory(dir / "by-uuid");
    fs::create_symlink(disk, dir / "by-uuid/7777-BBBB");
    const auto table = [&](const std::string& type, const std::string& device, const std::string& source) {
        return parseMountInfo(std::to_string(id) + " 1 " + device + " / " + dir.path().string() + " rw - " + type +
                              " " + source + " rw\n");
    };

    EXPECT_EQ(volumeUUID(dir.path(), table("ext4", "0:70", disk.string()), dir / "nothing"), std::nullopt)
        << "a source that is no block device and an anonymous device number";
    EXPECT_EQ(volumeUUID(dir.path(), table("tmpfs", "0:70", "tmpfs"), dir / "by-uuid"), std::nullopt);
    EXPECT_EQ(volumeUUID(dir.path(), table("ext4", "254:77", disk.string()), dir / "by-uuid"), "7777-BBBB");
    // Without a link the kernel's own answer for the file system at the mount point stands.
    EXPECT_EQ(volumeUUID(dir.path(), table("ext4", "254:77", "/dev/vdz"), dir / "nothing"),
              fsUUIDFromKernel(dir.path()));
    EXPECT_EQ(volumeUUID(dir / "missing", table("ext4", "254:77", disk.string()), dir / "by-uuid"), std::nullopt);
    EXPECT_EQ(fsUUIDFromKernel(dir / "missing"), std::nullopt);
}

}  // namespace
}  // namespace quorvanta::platform
