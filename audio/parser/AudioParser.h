// Audio facts of one file from its own bytes: the file is opened safely, its container is named
// from the first 12 bytes, and that container's reader fills an AudioMeta.
//
// No error is reported: an unopenable, non-regular, truncated, unknown or unreadable file gives
// none. Calls share no state and may run on many threads at once.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"
#include "audio/parser/Reader.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::audio::AudioParser {

enum class Container { none, flac, wav, aiff, mp4, id3, mpeg };

// The container named by the first 12 bytes (fewer give none). `id3` means an ID3v2 tag whose end
// decides between FLAC and MPEG audio; ext ("mp3", "mp2") only matters when nothing else matched.
Container detect(ByteView head, std::string_view ext);

// path is passed to the system as given; ext is the file's extension as the caller holds it.
std::optional<core::AudioMeta> parse(const std::string& path, std::string_view ext);

// The same over an open descriptor (a memfd in tests and fuzz harnesses); fd stays the caller's.
std::optional<core::AudioMeta> parse(int fd, std::string_view ext);

}  // namespace quorvanta::audio::AudioParser
