#include "platform/volumes/FsTypeSets.h"

#include <algorithm>
#include <array>

namespace quorvanta::platform {
namespace {

constexpr std::array<std::string_view, 12> kNetworkTypes{"nfs",      "nfs4", "cifs",  "smb3",  "fuse.sshfs", "9p",
                                                         "virtiofs", "ceph", "davfs", "smbfs", "afpfs",      "webdav"};

constexpr std::array<std::string_view, 15> kReconcileTypes{"ext2",    "ext3",    "ext4",     "xfs",   "btrfs",
                                                           "f2fs",    "zfs",     "bcachefs", "exfat", "ntfs3",
                                                           "fuseblk", "hfsplus", "ntfs",     "apfs",  "hfs"};

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& set, std::string_view name) {
    return std::find(set.begin(), set.end(), name) != set.end();
}

}  // namespace

bool isNetworkFsType(std::string_view fsType) { return contains(kNetworkTypes, fsType); }
bool isReconcileFsType(std::string_view fsType) { return contains(kReconcileTypes, fsType); }

}  // namespace quorvanta::platform
