#include "platform/fs/ReadWholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace quorvanta::platform {

std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused as no regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::optional<std::string> bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) <= maxBytes) {
        bytes.emplace();
        bytes->reserve(static_cast<std::size_t>(st.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 || bytes->size() + static_cast<std::size_t>(got) > maxBytes) {  // the file grew
                bytes.reset();
                break;
            }
            if (got == 0) break;
            bytes->append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    return bytes;
}

}  // namespace quorvanta::platform
