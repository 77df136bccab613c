// FLAC streams: STREAMINFO for the stream facts and VORBIS_COMMENT for the texts, optionally
// behind an ID3v2 tag whose texts the comments then add to or replace.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"
#include "audio/parser/Reader.h"

#include <cstdint>

namespace quorvanta::audio::FLAC {

// start is where "fLaC" stands: 0, or the end of an ID3v2 tag at offset 0. True when a
// STREAMINFO block was read (also when its duration is 0).
bool parse(const Reader& reader, std::uint64_t start, core::AudioMeta& meta);

// Applies the comments of a VORBIS_COMMENT body (at most 500) to meta.
void vorbisComments(ByteView body, core::AudioMeta& meta);

}  // namespace quorvanta::audio::FLAC
