// The folder reader: one pass over a folder with getdents64 and one statx per entry, giving
// per entry the name, the kind, the size of regular files, the modification and creation
// times and the device identity, classified and appended to a batch.
#pragma once

#include "QuorvantaCore/index_engine/fidx.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvanta::index_engine {

inline constexpr size_t kListingBufferBytes = 0x40000;  // 256 KiB of directory records per call

// The device a folder is on: the device number and, where the kernel tells it, the mount id.
// A bind mount keeps the device number but has its own mount id.
struct DeviceId {
    uint64_t dev = 0;
    uint64_t mountId = 0;
    bool hasMountId = false;
};

// An object's modification and creation (birth) times as the index stores them: Unix seconds
// clamped to 0..0xFFFFFFFF, creation 0 where the file system does not record it.
struct EntryTimes {
    uint32_t mtime = 0;
    uint32_t ctime = 0;
};

// The times of the object at `path` itself (a final symbolic link is not followed, nothing is
// automounted), read as the folder reader reads them, so a refresh that compares the two sees
// no change where there is none. False with errno set when statx fails.
bool statTimes(const char* path, EntryTimes& out);

// What a listing records of one object besides its name: the kind bits (FIDX_FOLDER,
// FIDX_SYMLINK, or none for files and other objects), the size of a regular file (0 otherwise)
// and its times.
struct EntryMeta {
    uint8_t kindFlags = 0;
    uint64_t size = 0;
    EntryTimes times;
};

// The object `name` in the open folder `dirfd`, read as the folder reader reads it (a final
// symbolic link is not followed, nothing is automounted). False with errno set when statx fails.
bool statEntry(int dirfd, const char* name, EntryMeta& out);

// Opens a folder for listing (read-only, close-on-exec). With `follow` false a symbolic link is
// refused, reported as ENOTDIR. Gives the descriptor, or -1 with errno set.
int openFolder(const char* path, bool follow);

// The device identity of an open folder; false with errno set on failure.
bool deviceOf(int fd, DeviceId& out);

// What the reader needs besides the folder: the device that subfolders are judged against and
// the include-only extensions (empty: every file).
struct ReadContext {
    DeviceId device;
    const std::vector<std::string>* includeExts = nullptr;
};

// Reads the open folder `fd` into `batch` (reset first), records inheriting the hidden and junk
// bits of `inherited`. Counts files, dirs, other and bytes into `stats`, and one error when some
// entry's statx failed for a reason other than ENOENT (such entries keep their name and the
// kind from the directory record, with size and times 0). Gives 0, or -1 with errno set when
// reading failed part-way (the error counted in `errors` or `enoent`; records read before the
// failure stay). `buffer` holds kListingBufferBytes bytes.
int readFolder(int fd, const ReadContext& ctx, uint8_t inherited, char* buffer, fidx_listing& batch, scan_stats& stats);

// fidx_list with the choice of following a final symbolic link made explicit: a scan follows a
// root given as a link, so listing that root again must too (fidx_list never follows one).
int listFolder(fidx* h, const char* path, uint8_t inherited, bool followLink, fidx_listing* out);

// Prints "open PATH: ERROR" on standard error when the verbose switch is on (platform::verbose).
void reportOpenFailure(const char* path, int error);

}  // namespace quorvanta::index_engine
