// The pieces of FileMeta::load, apart so that tests and the fuzz harness reach each one: the probe
// an extension asks for, the probes themselves, and finish(), the rules that turn what a probe
// read into FileMeta fields.
//
// Threads: every function may run on many threads at once; none keeps state between calls.
// Errors: none are reported; what a probe cannot read stays absent in its Facts.
#pragma once

#include "QuorvantaApp/ResultsTable/FileMeta.h"
#include "platform/time/Clock.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace quorvanta::app::filemeta {

enum class Probe { none, audio, video, image, pdf };

// The probe for a file extension (without the dot, any case), from the desktop's MIME database:
// the first type a file named "x.<ext>" may have that is audio/*, video/*, image/* or a PDF picks
// it, so ".ts" is a video and not a translation catalogue. none when no candidate is one of those.
Probe probeFor(std::string_view ext);

// What a probe read, as the file or the library gave it, before finish() checks it.
struct Facts {
    std::optional<double> duration{};  // seconds
    std::optional<double> bitrate{};   // bits per second
    std::optional<double> rate{};      // hertz
    std::optional<double> width{};     // pixels, as stored (no rotation applied)
    std::optional<double> height{};
    std::optional<std::int32_t> pages{};

    bool operator==(const Facts&) const = default;
};

// Fills meta's fields from facts; size is the file's size as the index knows it.
//  - duration, bit rate and sample rate are kept only when finite and > 0;
//  - without a bit rate, a kept duration gives size × 8 / duration (the average over the whole
//    file, container included), kept when > 0;
//  - the pixel size is kept as a pair, each side truncated, only when both sides are finite and
//    1 ≤ side < 2³¹; otherwise neither w nor h is set;
//  - a page count is kept when ≥ 0.
void finish(FileMeta& meta, const Facts& facts, std::uint64_t size);

// The probes over fd, an open regular file that stays the caller's. fileSize is its size by fstat.
Facts audioFacts(int fd, std::string_view ext);
Facts imageFacts(int fd);
Facts pdfFacts(int fd, std::uint64_t fileSize);

// The bytes the video probe reads: positional reads from a source of a known size. read puts up
// to count bytes from offset into `into` and returns how many it put (0 at the end), or -errno.
struct MediaInput {
    std::uint64_t size = 0;
    std::function<std::int64_t(std::uint64_t offset, std::uint8_t* into, std::size_t count)> read;
};

// MediaInput over fd with pread (fd stays the caller's and must outlive the input).
MediaInput descriptorInput(int fd, std::uint64_t fileSize);

// The video probe (libavformat): duration of the container, and the stored size of its first
// video stream that is not a cover picture. It stops reading once `limit` has passed on clock
// since the call began and then gives what it had; a read blocked in the kernel ends first.
Facts videoFacts(const MediaInput& input, const platform::Clock& clock, platform::Clock::Duration limit);

}  // namespace quorvanta::app::filemeta
