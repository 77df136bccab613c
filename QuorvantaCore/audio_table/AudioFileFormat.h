// The ".aud" file: the byte image of an audio table, saved beside its volume's snapshot with the
// snapshot's store id. No padding, no alignment, every integer little-endian; R rows, P pool bytes:
//
//   offset      size  field
//   0           8     magic "QRVTAUD2"
//   8           8     store id (u64) of the snapshot the table belongs to
//   16          8     R (u64)
//   24          8     P (u64)
//   32          4R    entry     u32, strictly increasing
//   32 + 4R     4R    mtime     u32
//   32 + 8R     4R    dur       u32
//   32 + 12R    4R    rate      u32
//   32 + 16R    2R    bitrate   u16
//   32 + 18R    2R    bpm       u16
//   32 + 20R    2R    year      u16
//   32 + 22R    R     bits      u8
//   32 + 23R    R     channels  u8
//   32 + 24R    R     codec     u8
//   32 + 25R    R     flags     u8
//   32 + 26R    4R    artist    u32 pool offset (0 = none)
//   32 + 30R    4R    title     u32 pool offset
//   32 + 34R    4R    album     u32 pool offset
//   32 + 38R    4R    genre     u32 pool offset
//   32 + 42R    4R    key       u32 pool offset
//   32 + 46R    P     pool: a NUL, then per text its bytes, NUL, folded bytes, NUL
//
// Total 32 + 46R + P bytes; an empty table is 33. The interner and the version are not stored.
// AudioTable::serialize and AudioTable::deserialize (AudioTableFile.cpp) write and read it.
#pragma once

#include <cstddef>
#include <string_view>

namespace quorvanta::core::audio_file {

inline constexpr std::string_view kMagic = "QRVTAUD2";
inline constexpr std::size_t kHeaderBytes = 32;
inline constexpr std::size_t kStoreIDOffset = 8;
inline constexpr std::size_t kRowCountOffset = 16;
inline constexpr std::size_t kPoolSizeOffset = 24;
inline constexpr std::size_t kRowBytes = 46;  // 4 u32 + 3 u16 + 4 u8 + 5 u32 offsets

}  // namespace quorvanta::core::audio_file
