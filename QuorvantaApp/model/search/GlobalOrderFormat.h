// The "global.ord" file: the name order across all volumes (GlobalOrder), saved in the data
// directory so that it survives a restart. Every integer is unsigned 64-bit little-endian.
//
//   offset          size      field
//   0               8         magic "QRVTGORD" (ASCII, no terminator)
//   8               8         N, the number of volumes
//   16 + 16 x i     8         store id of volume i (i from 0 to N - 1), the identity of its index
//   24 + 16 x i     8         k of volume i: the entries below k are in the rows
//   16 + 16 x N     ...       zero bytes up to offset 16,384
//   16,384 + 8 x r  8         row r: volume position << 32 | entry index, in ascending name order
//
// The length is 16,384 plus 8 bytes per row; the rows are (length - 16,384) / 8. The header holds
// at most 1,023 volumes; a reader takes only N from 1 to 63, so only such orders are written.
// The header is decoded field by field (getLE64); the rows are read straight from the file's
// mapping, which is why the format is only served on little-endian hosts.
//
// What a file must hold to be read: a length of at least 16,384 that is a multiple of 8, the
// magic, N from 1 to 63, no k above 2^32 (entry indexes are 32-bit), and no more rows than the
// k add up to. A row naming a volume at or past N, or an entry at or past its volume's k, can only
// come from a damaged file; readers skip it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quorvanta::app::global_order_file {

static_assert(std::endian::native == std::endian::little, "the rows are served from the file's bytes");

inline constexpr char kFileName[] = "global.ord";
inline constexpr char kMagic[8] = {'Q', 'R', 'V', 'T', 'G', 'O', 'R', 'D'};

inline constexpr std::size_t kMagicOffset = 0;
inline constexpr std::size_t kVolumeCountOffset = 8;
inline constexpr std::size_t kVolumesOffset = 16;
inline constexpr std::size_t kVolumeBytes = 16;  // store id, then k
inline constexpr std::size_t kRowsOffset = 16384;
inline constexpr std::size_t kRowBytes = 8;

constexpr std::size_t storeIDOffset(std::size_t volume) { return kVolumesOffset + kVolumeBytes * volume; }
constexpr std::size_t coveredOffset(std::size_t volume) { return storeIDOffset(volume) + 8; }

// The most volumes the header has room for, and the volume counts a reader accepts (and a writer
// writes).
inline constexpr std::size_t kMaxVolumes = (kRowsOffset - kVolumesOffset) / kVolumeBytes;
inline constexpr std::uint64_t kMinReadVolumes = 1;
inline constexpr std::uint64_t kMaxReadVolumes = 63;
// The largest k a reader accepts: every 32-bit entry index covered.
inline constexpr std::uint64_t kMaxCovered = std::uint64_t(1) << 32;

static_assert(kMaxVolumes == 1023);
static_assert(kMinReadVolumes >= 1 && kMaxReadVolumes <= kMaxVolumes);
static_assert(coveredOffset(kMaxVolumes - 1) + 8 <= kRowsOffset);
static_assert(kRowsOffset % kRowBytes == 0);

inline std::uint64_t getLE64(const unsigned char* at) {
    unsigned char bytes[8];
    std::memcpy(bytes, at, 8);
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

inline void putLE64(unsigned char* at, std::uint64_t value) {
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    std::memcpy(at, bytes, 8);
}

}  // namespace quorvanta::app::global_order_file
