#include "platform/volumes/FsType.h"
#include "platform/volumes/FsTypeSets.h"
#include "platform/volumes/MountOfPath.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvanta::platform {
namespace {

TEST(VolumeProbeFsType, SortsTypesIntoNetworkReconcileAndFullScan) {
    enum Kind { network, reconcile, fullScan };
    const std::pair<const char*, Kind> cases[] = {
        {"nfs", network},        {"nfs4", network},
        {"cifs", network},       {"smb3", network},
        {"fuse.sshfs", network}, {"9p", network},
        {"virtiofs", network},   {"ceph", network},
        {"davfs", network},      {"smbfs", network},
        {"afpfs", network},      {"webdav", network},
        {"ext2", reconcile},     {"ext3", reconcile},
        {"ext4", reconcile},     {"xfs", reconcile},
        {"btrfs", reconcile},    {"f2fs", reconcile},
        {"zfs", reconcile},      {"bcachefs", reconcile},
        {"exfat", reconcile},    {"ntfs3", reconcile},
        {"fuseblk", reconcile},  {"hfsplus", reconcile},
        {"ntfs", reconcile},     {"apfs", reconcile},
        {"hfs", reconcile},      {"vfat", fullScan},
        {"tmpfs", fullScan},     {"overlay", fullScan},
        {"squashfs", fullScan},  {"iso9660", fullScan},
        {"fuse", fullScan},      {"fuse.gvfsd-fuse", fullScan},
        {"NFS", fullScan},       {"", fullScan},
    };
    for (const auto& [type, kind] : cases) {
        EXPECT_EQ(isNetworkFsType(type), kind == network) << type;
        EXPECT_EQ(isReconcileFsType(type), kind == reconcile) << type;
    }
}

TEST(VolumeProbeFsType, NamesMagicNumbersLikeTheMountTable) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0xEF53, "ext4"},     {0x9123683E, "btrfs"}, {0x01021994, "tmpfs"}, {0x6969, "nfs"},
        {0xFF534D42, "cifs"}, {0x65735546, "fuse"},  {0x4D44, "vfat"},      {0x12345678, ""},
    };
    for (const auto& [magic, name] : cases) EXPECT_EQ(fsTypeFromMagic(magic), name) << std::hex << magic;
}

TEST(VolumeProbeFsType, TakesTheNameFromTheMountAndFallsBackToTheMagicNumber) {
    test::TempDir dir;
    const auto id = mountIDOfPath(dir.path());
    if (!id) GTEST_SKIP() << "statx gives no mount id here";
    const auto mounts = parseMountInfo(std::to_string(*id) + " 1 0:50 / / rw - fuse.sshfs u@h:/ rw\n");

    EXPECT_EQ(fsTypeOfPath(dir.path(), mounts), "fuse.sshfs");
    EXPECT_EQ(fsTypeOfPath(dir / "missing", mounts), "") << "statfs fails: no type, whatever the table says";
    // /proc is procfs everywhere, so its magic number is known.
    EXPECT_EQ(fsTypeOfPath("/proc", std::nullopt), "proc") << "no mount table";
    EXPECT_EQ(fsTypeOfPath("/proc", std::vector<MountEntry>{}), "proc") << "the table lacks the mount";
}

}  // namespace
}  // namespace quorvanta::platform
