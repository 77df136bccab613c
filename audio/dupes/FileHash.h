// FileHash: the content hashes of the duplicate finder. Both feed the size recorded in the volume
// index (8 bytes, little-endian) into BLAKE3 first, so files of different recorded sizes never
// share a digest, and keep the first 16 output bytes.
//
// - `quick` covers at most 128 KiB: the whole file when it holds at most 131,072 bytes (`whole`
//   is then true and the file never needs the full hash), else its first and last 64 KiB.
// - `full` covers every byte, read sequentially in 1 MiB blocks, and checks the cancel callback
//   before each block. Blocks it had to read from the disk are dropped from the page cache once
//   hashed; blocks that were cached already stay cached.
//
// A file is hashed only when it is a regular file whose current size equals the recorded size:
// a file that changed since it was indexed, vanished, cannot be read, or is a FIFO, socket,
// device or folder gives none at once (opening never waits). The caller drops such files.
//
// `quick` also gives the file's identity (device and inode of the open descriptor), so that one
// file reached through two paths (hardlinks, overlapping roots) is never its own duplicate.
//
// Threads: stateless; any number of calls may run at once. `cancelled` is called from the
// hashing thread.
#pragma once

#include "audio/dupes/Digest128.h"
#include "audio/hash/Blake3.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quorvanta::audio {

// Which file a descriptor names: two paths with equal identities are one file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

struct QuickHash {
    Digest128 digest;
    bool whole = false;  // the digest covers every byte of the file
    FileIdentity identity;
};

namespace FileHash {

// Bytes read from each end of a large file; files of up to twice this are hashed whole.
inline constexpr std::uint64_t kQuickBlock = 65536;
inline constexpr std::uint64_t kQuickWholeLimit = 2 * kQuickBlock;
// The full hash's read size.
inline constexpr std::size_t kFullBlock = 1 << 20;

std::optional<QuickHash> quick(const std::string& path, std::uint64_t size);

// None also when `cancelled` returns true before a block is read.
std::optional<Digest128> full(const std::string& path, std::uint64_t size, const std::function<bool()>& cancelled);

// The first 16 output bytes of the hasher as a digest.
Digest128 finish(const Blake3& hasher);

}  // namespace FileHash

}  // namespace quorvanta::audio
