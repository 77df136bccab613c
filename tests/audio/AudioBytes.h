// Byte builders for audio test inputs, and a memfd to hand them to the parser without a file.
// Each builder writes exactly what its format documents, so tests can place one field wrong.
#pragma once

#include "audio/parser/Reader.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::audio::test {

// Appending helpers.
void put(Bytes& b, std::string_view ascii);
void put(Bytes& b, const Bytes& more);
void putBE(Bytes& b, std::uint64_t value, int bytes);
void putLE(Bytes& b, std::uint64_t value, int bytes);
void putSynchsafe(Bytes& b, std::uint32_t value);
Bytes bytesOf(std::string_view ascii);
Bytes bytesOf(std::initializer_list<std::uint8_t> values);

// UTF-8 text as ISO Latin 1 (code points above U+00FF become '?') and as UTF-16.
Bytes latin1(std::string_view utf8);
Bytes utf16(std::string_view utf8, bool littleEndian);

// An ID3v2 tag of version 2, 3 or 4.
class Id3Builder {
public:
    explicit Id3Builder(int version = 4) : version_(version) {}
    // A text frame: encoding 0 Latin 1, 1 UTF-16 with a little-endian BOM, 2 UTF-16BE, 3 UTF-8.
    Id3Builder& text(std::string_view id, std::string_view utf8, int encoding = 3);
    // A frame with the body as given and, unless sizeOverride is set, its true size.
    Id3Builder& frame(std::string_view id, const Bytes& body, std::optional<std::uint32_t> sizeOverride = {});
    Id3Builder& extendedHeader(std::uint32_t bodyBytes = 6) {
        extended_ = bodyBytes;
        return *this;
    }
    Id3Builder& footer() {
        footer_ = true;
        return *this;
    }
    Id3Builder& padding(std::size_t bytes) {
        padding_ = bytes;
        return *this;
    }
    Bytes build() const;

private:
    int version_;
    Bytes frames_;
    std::optional<std::uint32_t> extended_;
    bool footer_ = false;
    std::size_t padding_ = 0;
};

// MPEG audio frames. version 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5; layer 1..3; indexes as in the header.
struct MpegHeader {
    int version = 0;
    int layer = 3;
    int bitrateIndex = 9;  // 128 kbit/s for MPEG-1 layer III
    int rateIndex = 0;     // 44100 Hz for MPEG-1
    bool padding = false;
    bool mono = false;
};
Bytes mpegHeaderBytes(const MpegHeader& h);
// The frame length the header implies (0 for an invalid one).
std::size_t mpegFrameLength(const MpegHeader& h);
// One whole frame: header, then zero bytes.
Bytes mpegFrame(const MpegHeader& h);
// count frames of h one after another.
Bytes mpegFrames(const MpegHeader& h, std::size_t count);
// A frame that carries a "Xing"/"Info" header (flags 1 and 2) or, with magic "VBRI", a VBRI header.
Bytes mpegVbrFrame(const MpegHeader& h, std::string_view magic, std::uint32_t frames, std::uint32_t bytes);
// A 128-byte ID3v1 trailer.
Bytes id3v1(std::string_view title, std::string_view artist, std::string_view album, std::string_view year,
            std::uint8_t genre);

// An anonymous in-memory file holding bytes; closed with the object.
class MemFile {
public:
    explicit MemFile(const Bytes& bytes);
    ~MemFile();
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

}  // namespace quorvanta::audio::test
