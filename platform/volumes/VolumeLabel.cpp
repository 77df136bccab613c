#include "platform/volumes/VolumeLabel.h"

#include "platform/volumes/VolumeUUID.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>

namespace quorvanta::platform {

std::optional<std::string> fsLabelFromKernel(const std::filesystem::path& mountPoint) {
    const int fd = open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    char label[FSLABEL_MAX + 1] = {};
    const int rc = ioctl(fd, FS_IOC_GETFSLABEL, label);
    close(fd);
    if (rc != 0 || label[0] == '\0') return std::nullopt;
    return std::string(label, strnlen(label, FSLABEL_MAX));
}

std::optional<std::string> mountLabel(const MountEntry& mount, const std::filesystem::path& byLabelFolder) {
    if (!isBlockDeviceMount(mount)) return std::nullopt;
    if (auto label = labelFromByLabelFolder(mount, byLabelFolder)) return label;
    return fsLabelFromKernel(mount.mountPoint);
}

}  // namespace quorvanta::platform
