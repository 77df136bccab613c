#include "platform/volumes/FsType.h"

#include "platform/volumes/MountOfPath.h"

#include <sys/vfs.h>

#include <cstdint>
#include <utility>

namespace quorvanta::platform {

std::string fsTypeFromMagic(std::uint32_t magic) {
    static constexpr std::pair<std::uint32_t, const char*> kMagic[] = {
        {0xEF53, "ext4"},      {0x58465342, "xfs"},      {0x9123683E, "btrfs"},    {0xF2F52010, "f2fs"},
        {0x2FC12FC1, "zfs"},   {0xCA451A4E, "bcachefs"}, {0x2011BAB0, "exfat"},    {0x7366746E, "ntfs3"},
        {0x482B, "hfsplus"},   {0x4244, "hfs"},          {0x4D44, "vfat"},         {0x01021994, "tmpfs"},
        {0x858458F6, "ramfs"}, {0x794C7630, "overlay"},  {0x73717368, "squashfs"}, {0x9660, "iso9660"},
        {0x65735546, "fuse"},  {0x6969, "nfs"},          {0xFF534D42, "cifs"},     {0xFE534D42, "smb3"},
        {0x01021997, "9p"},    {0x00C36400, "ceph"},     {0x9FA0, "proc"},         {0x62656572, "sysfs"},
    };
    for (const auto& [number, name] : kMagic)
        if (number == magic) return name;
    return {};
}

std::string fsTypeOfPath(const std::filesystem::path& path, const std::optional<std::vector<MountEntry>>& mounts) {
    struct statfs info {};
    if (statfs(path.c_str(), &info) != 0) return {};
    if (mounts)
        if (auto mount = mountOfPath(path, *mounts)) return mount->fsType;
    return fsTypeFromMagic(static_cast<std::uint32_t>(info.f_type));
}

}  // namespace quorvanta::platform
