#include "audio/dupes/FileHash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>

namespace quorvanta::audio {

namespace {

// An open descriptor of a regular file whose size was the recorded one when it was opened.
class SizedFile {
public:
    // O_NONBLOCK keeps open() from waiting for a FIFO's writer; the type is checked on the
    // descriptor right after, so no later read can block either.
    static std::optional<SizedFile> open(const std::string& path, std::uint64_t size) {
        SizedFile file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (file.fd_ < 0) return std::nullopt;
        struct stat st {};
        if (fstat(file.fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
            static_cast<std::uint64_t>(st.st_size) != size)
            return std::nullopt;
        file.identity_ = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
        return file;
    }

    SizedFile(SizedFile&& other) noexcept : fd_(other.fd_), identity_(other.identity_) { other.fd_ = -1; }
    SizedFile& operator=(SizedFile&&) = delete;
    ~SizedFile() {
        if (fd_ >= 0) close(fd_);
    }

    int fd() const { return fd_; }
    FileIdentity identity() const { return identity_; }

    // Fills n bytes from offset; false when the file ends first or a read fails.
    bool readAt(std::uint8_t* out, std::size_t n, std::uint64_t offset) const {
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = pread(fd_, out + got, n - got, static_cast<off_t>(offset + got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            got += static_cast<std::size_t>(r);
        }
        return true;
    }

private:
    explicit SizedFile(int fd) : fd_(fd) {}

    int fd_ = -1;
    FileIdentity identity_;
};

// A hasher that has taken the recorded size, the prefix of both hashes.
Blake3 seededHasher(std::uint64_t size) {
    std::array<std::uint8_t, 8> le{};
    for (std::size_t i = 0; i < le.size(); ++i) le[i] = static_cast<std::uint8_t>(size >> (8 * i));
    Blake3 hasher;
    hasher.update(le.data(), le.size());
    return hasher;
}

std::uint64_t loadLE64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

}  // namespace

Digest128 FileHash::finish(const Blake3& hasher) {
    std::array<std::uint8_t, 16> out{};
    hasher.finalize(out);
    return {loadLE64(out.data()), loadLE64(out.data() + 8)};
}

std::optional<QuickHash> FileHash::quick(const std::string& path, std::uint64_t size) {
    const auto file = SizedFile::open(path, size);
    if (!file) return std::nullopt;
    Blake3 hasher = seededHasher(size);
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kQuickBlock);
    auto feed = [&](std::uint64_t offset, std::size_t n) {
        if (!file->readAt(buffer.get(), n, offset)) return false;
        hasher.update(buffer.get(), n);
        return true;
    };

    const bool whole = size <= kQuickWholeLimit;
    if (whole) {
        for (std::uint64_t at = 0; at < size; at += kQuickBlock) {
            if (!feed(at, static_cast<std::size_t>(std::min(size - at, kQuickBlock)))) return std::nullopt;
        }
    } else if (!feed(0, kQuickBlock) || !feed(size - kQuickBlock, kQuickBlock)) {
        return std::nullopt;
    }
    return QuickHash{finish(hasher), whole, file->identity()};
}

std::optional<Digest128> FileHash::full(const std::string& path, std::uint64_t size,
                                        const std::function<bool()>& cancelled) {
    const auto file = SizedFile::open(path, size);
    if (!file) return std::nullopt;
    const int fd = file->fd();
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    Blake3 hasher = seededHasher(size);
    const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kFullBlock);
    // One pass over possibly gigabytes should not push the rest of the page cache out. Bytes that
    // are cached already are taken from the cache (a read that must not wait for the disk) and
    // left there. From the first block that has to come from the disk on, every block is read
    // and then dropped from the cache: the read-ahead that brought the later blocks in was ours.
    bool cacheProbe = true;
    std::uint64_t count = 0;
    for (;;) {
        if (cancelled && cancelled()) return std::nullopt;
        ssize_t r = -1;
        if (cacheProbe) {
            iovec span{buffer.get(), kFullBlock};
            r = preadv2(fd, &span, 1, static_cast<off_t>(count), RWF_NOWAIT);
            if (r < 0 && errno != EINTR) cacheProbe = false;  // not cached, or no such read here
        }
        const bool fromDisk = !cacheProbe;
        if (fromDisk) r = pread(fd, buffer.get(), kFullBlock, static_cast<off_t>(count));
        if (r < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return std::nullopt;
        }
        if (r == 0) break;
        hasher.update(buffer.get(), static_cast<std::size_t>(r));
        if (fromDisk) posix_fadvise(fd, static_cast<off_t>(count), static_cast<off_t>(r), POSIX_FADV_DONTNEED);
        count += static_cast<std::uint64_t>(r);
        if (count > size) return std::nullopt;  // grew while being read
    }
    if (count != size) return std::nullopt;
    return finish(hasher);
}

}  // namespace quorvanta::audio
