#include "QuorvantaApp/ResultsTable/FileMetaProbes.h"

#include <cmath>

namespace quorvanta::app::filemeta {

namespace {

std::optional<double> positive(std::optional<double> value) {
    if (value && std::isfinite(*value) && *value > 0) return value;
    return std::nullopt;
}

// A whole number of pixels, or none for a side that is not finite or out of 1 ≤ side < 2³¹.
std::optional<std::int32_t> pixels(std::optional<double> side) {
    if (!side || !std::isfinite(*side)) return std::nullopt;
    const double whole = std::trunc(*side);
    if (whole < 1 || whole >= 2147483648.0) return std::nullopt;
    return static_cast<std::int32_t>(whole);
}

}  // namespace

void finish(FileMeta& meta, const Facts& facts, std::uint64_t size) {
    meta.duration = positive(facts.duration);
    meta.bitrate = positive(facts.bitrate);
    if (!meta.bitrate && meta.duration) meta.bitrate = positive(static_cast<double>(size) * 8.0 / *meta.duration);
    meta.rate = positive(facts.rate);
    const auto w = pixels(facts.width);
    const auto h = pixels(facts.height);
    if (w && h) {
        meta.w = w;
        meta.h = h;
    } else {
        meta.w.reset();
        meta.h.reset();
    }
    meta.pages = facts.pages && *facts.pages >= 0 ? facts.pages : std::nullopt;
}

}  // namespace quorvanta::app::filemeta
