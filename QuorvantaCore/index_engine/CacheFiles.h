// Engine-internal rules for the files the engine writes: which paths may be written, and the
// positional writer the snapshot save uses. The public calls are declared in fidx.h.
#pragma once

#include "platform/fs/AtomicFile.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace quorvanta::index_engine {

enum class PathRule {
    cache,           // ".idx", ".ord", ".aud"
    removableCache,  // ".idx", ".aud"
    userExport,      // ".csv", ".tsv", ".m3u", ".m3u8" in any case
};

// Whether `path` may be written (or removed) under `rule`: its length and suffix, then its folder,
// which must exist and, resolved with realpath, be neither one of `externalFolders` nor lie below
// one. Tests pass their own folders; the engine passes the platform's list.
bool pathAllowed(const char* path, PathRule rule, std::span<const std::string_view> externalFolders);
// The cache rule with the platform's external-drive folders.
bool path_ok(const char* path);

// Writes `len` bytes at `offset` of the file, continuing after short writes and retrying
// interrupted ones. 0, or -1 with errno set.
int put(platform::AtomicFile& file, const void* bytes, uint64_t len, uint64_t offset);

}  // namespace quorvanta::index_engine
