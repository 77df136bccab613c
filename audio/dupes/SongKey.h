// The same-song key: which files hold the same song, judged by their tags or, failing that, by a
// file name of the form "Artist - Title". `normalize` reduces a title, artist or file name to
// its words: technical notes in brackets ("(320 kbps)", "[FLAC]") and leading track numbers
// ("01 - ", "1-05 ", "CD2 - 07. ") removed, folded (no case, no diacritics), everything but
// letters, marks and digits turned into single spaces.
//
// Texts are UTF-8; bytes that are not (Linux file names) count as neither letters nor digits.
// Every step is a linear scan, so tags of a megabyte or titles of nested or unclosed brackets
// cost time in proportion to their length. Pure functions, safe from any thread.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::audio {

std::string normalize(std::string_view text);

// "artist|title" from the tags when both normalise to at least 2 characters; else, when the file
// name without its extension contains " - " and normalises to at least 8 characters, "f|" and
// that; else none.
std::optional<std::string> songKey(std::string_view fileName, const std::optional<core::AudioMeta>& meta);

}  // namespace quorvanta::audio
