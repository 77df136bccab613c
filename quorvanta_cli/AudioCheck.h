// audio-check's pieces: choosing a sample of audio files, comparing each file's parsed facts with
// a reference reader, and the report per extension. The command (AudioCommands.cpp) joins them.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"
#include "quorvanta_cli/ReferenceAudioProbe.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::cli {

// The extension of a path's last component, lower-cased: the text after its last "."; "" when
// there is none or the name only starts with the dot.
std::string lowerExtension(std::string_view path);

// Folder mode's choice: qualifying files (extension mp3, flac, wav, aif, aiff or m4a, name not
// starting with "._") are counted in walk order; one is taken while fewer than limit / 4 are
// taken, and otherwise when its count is a multiple of 40 and fewer than `limit` are taken.
class AudioSampler {
public:
    explicit AudioSampler(std::int64_t limit) : limit_(limit) {}
    // Offers one file of the walk (its name and the path to record); false once the walk must stop.
    bool offer(std::string_view name, const std::string& path);
    bool full() const { return static_cast<std::int64_t>(taken_.size()) >= limit_; }
    const std::vector<std::string>& taken() const { return taken_; }
    std::int64_t found() const { return found_; }

private:
    std::int64_t limit_;
    std::int64_t found_ = 0;
    std::vector<std::string> taken_;
};

// Walks folder depth first in readdir order, never following symbolic links and skipping folders
// that cannot be read, and offers each file by its path joined below the folder (platform::joinPath)
// until the sampler is full.
void sampleFolder(const std::string& folder, AudioSampler& sampler);

// What audio-check found for one extension.
struct AudioCheckRecord {
    std::int64_t n = 0;
    std::int64_t unparsed = 0;
    std::int64_t duration = 0;  // agreements
    std::int64_t rate = 0;
    std::int64_t channels = 0;
    std::int64_t tagged = 0;  // files with an artist or a title
    std::vector<std::string> notes;
};

// Durations agree within 1.5 s or 1 % of max(reference, 1 s).
bool durationsAgree(double referenceSeconds, double mineSeconds);
// A reference rate agrees when it is finite, fits 32 unsigned bits and truncates to the parsed one.
bool ratesAgree(double referenceRate, std::uint32_t parsed);

// Counts one file into its extension's record: parsed facts (none when the parser gave none) are
// checked against the reference, which is read only for parsed files.
void compareFile(AudioCheckRecord& record, const std::string& path, const std::optional<core::AudioMeta>& meta,
                 const ReferenceAudioProbe& probe);

// The per-extension lines, extensions in ascending order, each followed by its notes.
void printAudioCheckRecords(std::ostream& out, const std::map<std::string, AudioCheckRecord>& records);

}  // namespace quorvanta::cli
