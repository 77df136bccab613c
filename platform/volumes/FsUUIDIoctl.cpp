#include "platform/volumes/FsUUIDIoctl.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace quorvanta::platform {
namespace {

// The kernel's struct fsuuid2 and its ioctl number, _IOR(0x15, 0, struct fsuuid2). Debian 12's
// kernel headers predate both.
struct FsUUID2 {
    std::uint8_t len;
    std::uint8_t uuid[16];
};
constexpr unsigned long kGetFsUUID = 0x80111500;
static_assert(sizeof(FsUUID2) == 17);

// Opens the folder itself, or the folder holding a file: opening other kinds of file (a FIFO,
// a device) could block or have side effects.
int openFolderOf(const std::filesystem::path& path) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = open(path.c_str(), flags);
    if (fd < 0 && errno == ENOTDIR) fd = open(path.parent_path().c_str(), flags);
    return fd;
}

}  // namespace

std::optional<std::string> fsUUIDFromKernel(const std::filesystem::path& path) {
    const int fd = openFolderOf(path);
    if (fd < 0) return std::nullopt;
    FsUUID2 answer{};
    const int rc = ioctl(fd, kGetFsUUID, &answer);
    close(fd);
    if (rc != 0 || answer.len != sizeof(answer.uuid) ||
        std::all_of(std::begin(answer.uuid), std::end(answer.uuid), [](std::uint8_t b) { return b == 0; }))
        return std::nullopt;

    char text[37];
    const auto* u = answer.uuid;
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", u[0], u[1],
                  u[2], u[3], u[4], u[5], u[6], u[7], u[8], u[9], u[10], u[11], u[12], u[13], u[14], u[15]);
    return std::string(text);
}

}  // namespace quorvanta::platform
