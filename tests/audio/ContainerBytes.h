// Byte builders for the lossless and MP4 containers: FLAC metadata blocks, RIFF and AIFF chunks
// (with an 80-bit extended writer) and MP4 boxes with 32- and 64-bit sizes.
#pragma once

#include "tests/audio/AudioBytes.h"

#include <string>
#include <utility>
#include <vector>

namespace quorvanta::audio::test {

// FLAC: "fLaC" is the caller's; a block is its 4-byte header and body.
Bytes flacBlock(int type, const Bytes& body, bool last);
Bytes streamInfo(std::uint32_t rate, int channels, int bits, std::uint64_t samples);
Bytes vorbisComment(std::string_view vendor, const std::vector<std::string>& comments);

// RIFF/WAVE: chunks with little-endian sizes, padded to even length.
Bytes riffChunk(std::string_view id, const Bytes& body, std::optional<std::uint32_t> sizeOverride = {});
Bytes wavFile(const std::vector<Bytes>& chunks);
// A "fmt " body; with subFormat the tag is 0xFFFE and the sub-format's first two bytes follow.
Bytes fmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
              std::optional<std::uint16_t> subFormat = {});
Bytes infoList(const std::vector<std::pair<std::string, std::string>>& entries);

// AIFF/AIFC: chunks with big-endian sizes, padded to even length.
Bytes aiffChunk(std::string_view id, const Bytes& body);
Bytes aiffFile(std::string_view form, const std::vector<Bytes>& chunks);
Bytes extended80(double value);
Bytes commBody(std::uint16_t channels, std::uint32_t frames, std::uint16_t bits, const Bytes& rate80,
               std::string_view compression = {});

// MP4 boxes. type is four raw bytes ("\xA9" "ART" for ©ART).
Bytes box(std::string_view type, const Bytes& payload);
Bytes box64(std::string_view type, const Bytes& payload);
Bytes fullBox(std::string_view type, std::uint8_t version, const Bytes& payload);
Bytes cat(const std::vector<Bytes>& parts);

// An audio sample entry of the given format with its child boxes.
Bytes mp4SampleEntry(std::string_view format, std::uint16_t channels, std::uint16_t bits, std::uint32_t rate,
                     const Bytes& children);
// An "esds" box: ES descriptor around a decoder configuration with an optional
// AudioSpecificConfig (object type, frequency index, channel configuration).
Bytes esds(std::uint8_t objectType, std::uint32_t avgBitrate, std::optional<Bytes> asc);
Bytes ascBytes(int objectType, int frequencyIndex, int channelConfig);
// A "trak" with a handler of the given type and one sample entry.
Bytes mp4Track(std::string_view handler, const Bytes& sampleEntry);
Bytes mvhd(std::uint32_t timescale, std::uint64_t duration, int version = 0);
// An item with one "data" child of the given type.
Bytes ilstItem(std::string_view type, std::uint32_t dataType, const Bytes& value);
Bytes freeformItem(std::string_view name, const Bytes& value);
Bytes mp4Udta(const std::vector<Bytes>& items);
Bytes ftyp();

}  // namespace quorvanta::audio::test
