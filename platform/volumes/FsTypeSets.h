// How the kind of file system under an indexed root decides the way its index catches up after a
// restart. Type names are mountinfo's (FUSE mounts with their subtype, "fuse.sshfs").
//
//   network    rescanned on a schedule, never watched: nfs, nfs4, cifs, smb3, fuse.sshfs, 9p,
//              virtiofs, ceph, davfs (and smbfs, afpfs, webdav)
//   reconcile  folder modification times are trustworthy, so changed folders are listed again:
//              ext2, ext3, ext4, xfs, btrfs, f2fs, zfs, bcachefs, exfat, ntfs3, fuseblk, hfsplus
//              (and ntfs, apfs, hfs)
//   anything else (vfat, tmpfs, overlay, squashfs, iso9660, other FUSE, "") gets a full scan.
#pragma once

#include <string_view>

namespace quorvanta::platform {

bool isNetworkFsType(std::string_view fsType);
bool isReconcileFsType(std::string_view fsType);

}  // namespace quorvanta::platform
