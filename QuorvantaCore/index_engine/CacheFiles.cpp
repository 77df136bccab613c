// Cache files and user exports: the path rules, whole-file atomic writes, removal, and read-only
// mappings of file ranges (the snapshot's permutations).
#include "QuorvantaCore/index_engine/CacheFiles.h"

#include "QuorvantaCore/index_engine/EngineInternal.h"
#include "platform/fs/PathText.h"
#include "platform/volumes/ExternalDrives.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quorvanta::index_engine {
namespace {

constexpr size_t kMaxPathBytes = 1015;

bool endsWith(std::string_view path, std::string_view suffix, bool anyCase) {
    if (path.size() < suffix.size()) return false;
    const std::string_view tail = path.substr(path.size() - suffix.size());
    return anyCase ? strncasecmp(tail.data(), suffix.data(), suffix.size()) == 0 : tail == suffix;
}

bool suffixAllowed(std::string_view path, PathRule rule) {
    switch (rule) {
        case PathRule::cache:
            return path.size() >= 5 &&
                   (endsWith(path, ".idx", false) || endsWith(path, ".ord", false) || endsWith(path, ".aud", false));
        case PathRule::removableCache:
            return path.size() >= 5 && (endsWith(path, ".idx", false) || endsWith(path, ".aud", false));
        case PathRule::userExport:
            return path.size() >= 6 && (endsWith(path, ".csv", true) || endsWith(path, ".tsv", true) ||
                                        endsWith(path, ".m3u", true) || endsWith(path, ".m3u8", true));
    }
    return false;
}

// A mapping of a file range: the page holding `offset` on, covering `length` rounded up to 16 KiB.
struct PageSpan {
    uint64_t start;
    uint64_t length;
};

std::optional<PageSpan> pageSpan(uint64_t offset, uint64_t length) {
    const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    const uint64_t rounded = (length + kReserveGranule - 1) / kReserveGranule * kReserveGranule;
    if (length == 0 || rounded < length) return std::nullopt;
    const uint64_t start = offset / page * page;
    const uint64_t total = rounded + (offset - start);
    if (total < rounded || total > SIZE_MAX) return std::nullopt;
    return PageSpan{start, total};
}

int writeWhole(const char* path, const void* bytes, uint64_t length, PathRule rule, mode_t mode) {
    if (!pathAllowed(path, rule, platform::kExternalDriveFolders)) return -3;
    const auto error =
        platform::writeFileAtomically(path, std::string_view(static_cast<const char*>(bytes), length), mode);
    if (!error) return 0;
    errno = error.value();
    return -1;
}

}  // namespace

bool pathAllowed(const char* path, PathRule rule, std::span<const std::string_view> externalFolders) {
    if (!path) return false;
    const std::string_view text(path);
    if (text.size() > kMaxPathBytes || !suffixAllowed(text, rule)) return false;
    std::string folder = platform::parentPath(text);
    if (folder.empty()) folder = ".";  // a bare name lies in the working folder
    char resolved[PATH_MAX];
    if (!realpath(folder.c_str(), resolved)) return false;
    struct stat st {};
    if (stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    for (std::string_view external : externalFolders)
        if (platform::isSameOrUnder(resolved, external)) return false;
    return true;
}

bool path_ok(const char* path) { return pathAllowed(path, PathRule::cache, platform::kExternalDriveFolders); }

int put(platform::AtomicFile& file, const void* bytes, uint64_t len, uint64_t offset) {
    const auto error = file.writeAt(offset, std::string_view(static_cast<const char*>(bytes), len));
    if (!error) return 0;
    errno = error.value();
    return -1;
}

}  // namespace quorvanta::index_engine

using namespace quorvanta::index_engine;

int fidx_write_file(const char* path, const void* bytes, uint64_t length) {
    return writeWhole(path, bytes, length, PathRule::cache, 0600);
}

int fidx_export_file(const char* path, const void* bytes, uint64_t length) {
    return writeWhole(path, bytes, length, PathRule::userExport, 0644);
}

int fidx_remove_cache(const char* path) {
    if (!pathAllowed(path, PathRule::removableCache, quorvanta::platform::kExternalDriveFolders)) return -3;
    return unlink(path) == 0 ? 0 : -1;
}

void* fidx_map_ro(const char* path, uint64_t offset, uint64_t length) {
    const auto span = pageSpan(offset, length);
    if (!span || offset > UINT64_MAX - length) return nullptr;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    void* base = MAP_FAILED;
    // Pages wholly past the end of the file would fault on access: the range must lie inside it.
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && offset + length <= static_cast<uint64_t>(st.st_size))
        base = mmap(nullptr, span->length, PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(span->start));
    close(fd);
    if (base == MAP_FAILED) return nullptr;
    return static_cast<char*>(base) + (offset - span->start);
}

void fidx_unmap(void* p, uint64_t length) {
    if (!p) return;
    const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    const auto address = reinterpret_cast<uintptr_t>(p);
    const auto span = pageSpan(address, length);
    if (span) munmap(reinterpret_cast<void*>(address / page * page), span->length);
}
