// Positional reading of one untrusted file, the byte helpers the container readers share, and
// the shared text decoder.
//
// A Reader owns one read-only descriptor of a regular file and the file's size, taken once.
// Reads never move a file position, never memory-map and never ask for more than the bytes left
// in the file, so a hostile size field cannot make a reader allocate beyond the file's length.
// A reader is used by one thread at a time; different readers are independent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::audio {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

class Reader {
public:
    // Opens path (raw bytes, passed as given) read-only without blocking: a FIFO, socket, device,
    // folder or dangling link gives none at once. Only regular files are accepted.
    static std::optional<Reader> open(const std::string& path);
    // A reader over a duplicate of fd (the caller keeps fd); none unless fd is a regular file.
    static std::optional<Reader> fromDescriptor(int fd);

    Reader(Reader&& other) noexcept;
    Reader& operator=(Reader&& other) noexcept;
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader();

    std::uint64_t size() const { return size_; }

    // Up to count bytes at offset. None when offset >= size, count < 1 or nothing could be read;
    // otherwise min(size - offset, count) bytes are asked for and the array may come back short,
    // so callers check the length they got.
    std::optional<Bytes> read(std::uint64_t offset, std::size_t count) const;

private:
    static std::optional<Reader> adopt(int fd);
    Reader(int fd, std::uint64_t size) : fd_(fd), size_(size) {}

    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// Byte helpers: numbers are 0 and fourCC is empty when the bytes asked for don't all lie inside b.
std::uint16_t u16be(ByteView b, std::uint64_t offset);
std::uint16_t u16le(ByteView b, std::uint64_t offset);
std::uint32_t u24be(ByteView b, std::uint64_t offset);
std::uint32_t u32be(ByteView b, std::uint64_t offset);
std::uint32_t u32le(ByteView b, std::uint64_t offset);
std::uint64_t u64be(ByteView b, std::uint64_t offset);
// The 4 bytes at offset as ISO Latin 1 text in UTF-8, a zero byte read as a space.
std::string fourCC(ByteView b, std::uint64_t offset);
// Whether the count bytes at offset lie inside b (no overflow for any offset).
inline bool fits(ByteView b, std::uint64_t offset, std::uint64_t count) {
    return offset <= b.size() && count <= b.size() - offset;
}
// Whether b holds magic (ASCII) at offset.
bool hasMagic(ByteView b, std::uint64_t offset, std::string_view magic);

enum class Utf16 { littleEndian, bigEndian };

// The shared text decoder. With a UTF-16 encoding, trailing zero pairs are dropped and a text
// that does not decode (odd length, lone surrogate) is empty. Without one, valid UTF-8 is taken
// as UTF-8 and anything else as ISO Latin 1. Either way the text ends at its first NUL and is
// trimmed of Unicode white space and newlines at both ends.
std::string decodeText(ByteView bytes, std::optional<Utf16> utf16 = std::nullopt);

// Clamps a floating-point value into 0..max before it is cast (NaN gives 0), truncating or
// rounding halves away from zero.
std::uint64_t clampTruncate(double value, std::uint64_t max);
std::uint64_t clampRound(double value, std::uint64_t max);

inline constexpr std::uint64_t kMaxDurationMs = 4294967295u;
inline constexpr std::uint64_t kMaxBitrateKbps = 65535u;

}  // namespace quorvanta::audio
