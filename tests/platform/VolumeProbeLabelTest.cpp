#include "platform/volumes/DiskLinks.h"
#include "platform/volumes/VolumeLabel.h"
#include "platform/volumes/VolumeUUID.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace quorvanta::platform {
namespace {

namespace fs = std::filesystem;

MountEntry mountOf(unsigned major, unsigned minor, std::string source, std::string fsType, std::string mountPoint) {
    MountEntry m;
    m.devMajor = major;
    m.devMinor = minor;
    m.source = std::move(source);
    m.fsType = std::move(fsType);
    m.mountPoint = std::move(mountPoint);
    m.root = "/";
    return m;
}

// Plain files stand for the device nodes; the links match them by their resolved path, as they
// match a source that mountinfo names by a path.
TEST(VolumeProbeLabel, ByLabelLinksAreDecodedAndAnyNonEmptyNameCounts) {
    test::TempDir dir;
    for (const char* node : {"sdb1", "sdc1", "sdd1", "sde1"}) dir.write(std::string("dev/") + node, "");
    const auto folder = dir / "dev/disk/by-label";
    fs::create_directories(folder);
    fs::create_symlink("../../sdb1", folder / "My\\x20Disk");
    fs::create_symlink("../../sdc1", folder / "Fotos\\x2f2024");
    fs::create_symlink("../../sdd1", folder / "\\xc3\\xa9t\\xc3\\xa9");
    fs::create_symlink("../../sdd1", folder / "\\xc3\\xa9t\\xc3\\xa9\\x202");  // "été 2": the smaller name wins
    fs::create_symlink("../../gone", folder / "Dangling");

    const auto node = [&](const char* name) { return (dir / "dev" / name).string(); };
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {node("sdb1"), "My Disk"},    {node("sdc1"), "Fotos/2024"}, {node("sdd1"), "\xc3\xa9t\xc3\xa9"},
        {node("sde1"), std::nullopt}, {node("gone"), std::nullopt},
    };
    for (const auto& [source, label] : cases) {
        const auto mount = mountOf(8, 99, source, "ext4", (dir / "not-mounted").string());
        EXPECT_EQ(labelFromByLabelFolder(mount, folder), label) << source;
        EXPECT_EQ(mountLabel(mount, folder), label) << source << ": no kernel label at a missing mount point";
    }
    EXPECT_EQ(labelFromByLabelFolder(mountOf(8, 99, node("sdb1"), "ext4", "/"), dir / "missing"), std::nullopt);
}

TEST(VolumeProbeLabel, OnlyBlockDeviceMountsHaveALabelOrAKey) {
    test::TempDir dir;
    const auto disk = dir.write("dev/sdb1", "");
    const auto labels = dir / "labels";
    const auto uuids = dir / "uuids";
    fs::create_directories(labels);
    fs::create_directories(uuids);
    fs::create_symlink(disk, labels / "Share");
    fs::create_symlink(disk, uuids / "1111-2222");

    // Each names the linked node as its source; only the ext4 mount is on a block device.
    const struct {
        MountEntry mount;
        bool block;
    } cases[] = {
        {mountOf(8, 17, disk.string(), "ext4", dir.path().string()), true},
        {mountOf(8, 17, disk.string(), "cifs", dir.path().string()), false},
        {mountOf(0, 44, disk.string(), "nfs4", dir.path().string()), false},
        {mountOf(0, 45, disk.string(), "tmpfs", dir.path().string()), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mountLabel(c.mount, labels), c.block ? std::optional<std::string>("Share") : std::nullopt)
            << c.mount.fsType;
        EXPECT_EQ(mountUUID(c.mount, uuids), c.block ? std::optional<std::string>("1111-2222") : std::nullopt)
            << c.mount.fsType;
    }
}

TEST(VolumeProbeLabel, KernelLabelNeedsAFolderToOpen) {
    test::TempDir dir;
    EXPECT_EQ(fsLabelFromKernel(dir / "missing"), std::nullopt);
    EXPECT_EQ(fsLabelFromKernel(dir.write("file", "x")), std::nullopt) << "a file is not a mount point";
}

}  // namespace
}  // namespace quorvanta::platform
