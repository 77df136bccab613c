// AIFF and AIFC files: "COMM" for the stream facts, "NAME", "AUTH" and an "ID3 " chunk for the
// texts.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"
#include "audio/parser/Reader.h"

namespace quorvanta::audio::AIFF {

// True when a usable "COMM" gave a duration above 0. A sample rate that is not a finite number
// within 32 bits makes the file unreadable.
bool parse(const Reader& reader, core::AudioMeta& meta);

// The IEEE 754 80-bit extended number at offset (the sign ignored); 0 when the 10 bytes are not
// all there. May be infinite for the largest exponents.
double extended(ByteView b, std::uint64_t offset);

}  // namespace quorvanta::audio::AIFF
