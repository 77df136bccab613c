// The reference that audio-check measures the tag readers against: another reader's view of a
// file's duration, sample rate and channel count. The tool uses libavformat; tests hand in fakes.
//
// Calls share no state and may run on any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace quorvanta::cli {

struct ReferenceAudio {
    double seconds = 0;          // the container's duration estimate; 0 when unknown
    double sampleRate = 0;       // 0 when unknown
    std::uint32_t channels = 0;  // 0 when unknown
};

class ReferenceAudioProbe {
public:
    virtual ~ReferenceAudioProbe() = default;
    // None when the file cannot be opened.
    virtual std::optional<ReferenceAudio> read(const std::string& path) const = 0;
};

// libavformat's reading of the file's best audio stream. Only regular files are opened (a FIFO
// would block); anything else cannot be opened. Logs nothing.
std::unique_ptr<ReferenceAudioProbe> libavReferenceProbe();

}  // namespace quorvanta::cli
