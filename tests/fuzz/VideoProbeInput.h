// Shared by the video probe's harness and its seeded corruption test: the input as an in-memory
// source, and the properties the probe's result must have whatever the bytes were.
#pragma once

#include "QuorvantaApp/ResultsTable/FileMeta.h"
#include "QuorvantaApp/ResultsTable/FileMetaProbes.h"
#include "platform/time/Clock.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace quorvanta::test {

// A source over bytes that live as long as the input.
inline app::filemeta::MediaInput memoryMediaInput(const std::uint8_t* data, std::size_t size) {
    return {size, [data, size](std::uint64_t offset, std::uint8_t* into, std::size_t count) -> std::int64_t {
                if (offset >= size) return 0;
                const std::size_t n = std::min<std::size_t>(count, size - offset);
                std::memcpy(into, data + offset, n);
                return static_cast<std::int64_t>(n);
            }};
}

// The video probe over the bytes as the results table runs it: the real clock, the usual limit.
inline app::filemeta::Facts probeVideoBytes(const std::uint8_t* data, std::size_t size) {
    return app::filemeta::videoFacts(memoryMediaInput(data, size), platform::realClock(), app::kVideoTimeLimit);
}

// What is wrong with the video probe's facts for a file of size bytes, and with what finish()
// makes of them (empty when nothing is).
inline std::string videoFactsProblem(const app::filemeta::Facts& facts, std::size_t size) {
    using namespace app::filemeta;
    if (facts.duration && !(std::isfinite(*facts.duration) && *facts.duration > 0))
        return "duration not finite and > 0";
    if (facts.width.has_value() != facts.height.has_value()) return "one side of a pixel size";
    if (facts.width && (*facts.width < 1 || *facts.height < 1)) return "a pixel side below 1";
    if (facts.bitrate || facts.rate || facts.pages) return "a fact the video probe never reads";
    app::FileMeta meta;
    finish(meta, facts, size);
    if (meta.duration.has_value() != facts.duration.has_value()) return "finish changed a valid duration";
    if (meta.bitrate && !(std::isfinite(*meta.bitrate) && *meta.bitrate > 0)) return "bit rate not finite and > 0";
    if (meta.w.has_value() != facts.width.has_value()) return "finish dropped a valid pixel size";
    return {};
}

}  // namespace quorvanta::test
