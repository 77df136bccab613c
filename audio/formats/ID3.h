// ID3v2 tags (versions 2.2, 2.3 and 2.4): where a tag ends and the text frames it holds, plus the
// tag rules the other readers share (the ID3v1 genre list, the year and tempo rules).
//
// Frame flags, unsynchronisation, compression and encryption are not interpreted: frame bytes are
// taken as they stand. Every inconsistency ends the frame walk quietly and keeps what was read.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"
#include "audio/parser/Reader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::audio::ID3 {

enum class Field { artist, albumArtist, title, album, genre, year, bpm, key };

// The 80 genres of the ID3v1 table, numbers 0 ("Blues") to 79 ("Hard Rock").
extern const std::array<std::string_view, 80> kGenres;

// 4 bytes of 7 bits at b[i], most significant first; 0 when they don't lie inside b.
std::uint32_t synchsafe(ByteView b, std::uint64_t i);

// The offset just behind the tag that starts at offset, or offset when no tag starts there.
std::uint64_t tagEnd(const Reader& reader, std::uint64_t offset);

// Reads the tag at offset into meta (texts, year and tempo only) and returns tagEnd; returns
// offset with meta unchanged when there is no tag.
std::uint64_t parse(const Reader& reader, std::uint64_t offset, core::AudioMeta& meta);

// The field a frame id fills (exact, case-sensitive), or none for frames that are skipped.
std::optional<Field> field(std::string_view id);

// The first text of a text frame's body (encoding byte, then the text).
std::string frameText(ByteView body);

// "(4)Eurodisco" gives "Eurodisco", "(17)" and "17" give "Rock", other texts stay as they are.
std::string genreName(std::string_view text);

// The year rule: the first 4 characters as a number from 1000 up, else 0.
std::uint16_t year(std::string_view text);

// The tempo rule: the text as a number of beats per minute ("," read as "."), times ten and
// rounded; 0 unless it is finite and strictly between 0 and 600.
std::uint16_t bpm10(std::string_view text);

}  // namespace quorvanta::audio::ID3
