// audio-info's report of one file: "<path>: not parsed", or the path, then a line of stream facts
// and a line of tags.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"

#include <optional>
#include <ostream>
#include <string>

namespace quorvanta::cli {

void printAudioInfo(std::ostream& out, const std::string& path, const std::optional<core::AudioMeta>& meta);

}  // namespace quorvanta::cli
