// MP4/M4A files (ISO base media): duration from "mvhd", stream facts from the first sound track's
// sample entry ("esds" descriptors, the "alac" configuration), texts from the item list under
// "moov"/"udta"/"meta"/"ilst". Only "moov" is read into memory (at most 16 MiB); "mdat" is only
// measured by its box headers.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"
#include "audio/parser/Reader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvanta::audio::MP4 {

// One box found in a byte array.
struct Atom {
    std::string type;         // four characters, each byte as ISO Latin 1 (0xA9 reads as "©")
    std::uint64_t start = 0;  // the payload, behind the size, type and any 64-bit size
    std::uint64_t end = 0;    // just behind the box
};

// The boxes in bytes[from, to), in order; the walk stops at the first invalid or overlong box.
std::vector<Atom> atoms(ByteView bytes, std::uint64_t from, std::uint64_t to);

// The sound track in box (a "trak" of moov) and the item list in box (a "udta" of moov).
void track(ByteView moov, const Atom& box, core::AudioMeta& meta);
void udta(ByteView moov, const Atom& box, core::AudioMeta& meta);

// True when a duration above 0 ms came out.
bool parse(const Reader& reader, core::AudioMeta& meta);

}  // namespace quorvanta::audio::MP4
