// MPEG-1, MPEG-2 and MPEG-2.5 audio (layers I, II and III): a leading ID3v2 tag, the first real
// frame within 16 KiB behind it, duration and bit rate from a Xing/Info or VBRI header or else
// from a walk of at most 200 frames, and an ID3v1 trailer for the texts.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"
#include "audio/parser/Reader.h"

#include <array>
#include <cstdint>
#include <optional>

namespace quorvanta::audio::MP3 {

// One decoded 4-byte frame header.
struct Frame {
    int version = 0;               // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
    int layer = 0;                 // 1, 2 or 3
    std::uint32_t bitrate = 0;     // bit/s
    std::uint32_t sampleRate = 0;  // Hz
    std::uint8_t channels = 0;     // 1 for mono, else 2
    std::uint32_t length = 0;      // bytes, padding included
    std::uint32_t samples = 0;     // samples per frame
    std::uint8_t padding = 0;
};

// Bit rates in kbit/s by index 0..15 (0 and 15 unused): br1 for MPEG-1 layers I, II, III; br2 for
// MPEG-2 and 2.5, layer I and layers II/III. Sample rates by version and index.
extern const std::array<std::array<std::uint16_t, 16>, 3> br1;
extern const std::array<std::array<std::uint16_t, 16>, 2> br2;
extern const std::array<std::array<std::uint32_t, 3>, 3> rates;

// The frame header at offset, or none when it is not a valid one.
std::optional<Frame> header(ByteView b, std::uint64_t offset);

// Fills meta from the file; true when a duration above 0 ms came out.
bool parse(const Reader& reader, core::AudioMeta& meta);

}  // namespace quorvanta::audio::MP3
