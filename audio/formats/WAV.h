// RIFF/WAVE files: "fmt " for the stream facts, "data" for the duration, "LIST"/"INFO" and an
// "id3 "/"ID3 " chunk for the texts.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"
#include "audio/parser/Reader.h"

namespace quorvanta::audio::WAV {

// True when a "fmt " with a byte rate above 0 came before a "data" giving a duration above 0.
bool parse(const Reader& reader, core::AudioMeta& meta);

// Applies the entries of a "LIST" body of type "INFO" (the 4-byte type included) to meta.
void listInfo(ByteView body, core::AudioMeta& meta);

}  // namespace quorvanta::audio::WAV
