#include "QuorvantaCore/index/ScanTimes.h"

#include "QuorvantaCore/index/VolumeID.h"
#include "QuorvantaCore/json/JSONText.h"
#include "platform/fs/AtomicFile.h"
#include "platform/fs/ReadWholeFile.h"

#include <cmath>
#include <optional>

namespace quorvanta::core {
namespace {

using std::chrono::system_clock;

// Far beyond any number of volumes; a larger file is not ours.
constexpr std::size_t kMaxFileBytes = 16u << 20;
// {"times": {...}} nests two levels.
constexpr int kMaxDepth = 2;
// 2001-01-01 00:00:00 UTC in Unix seconds.
constexpr std::int64_t kReferenceDate = 978'307'200;
constexpr std::int64_t kNanos = 1'000'000'000;

// Seconds since the reference date: a whole number when the time has no fraction.
nlohmann::json encodeDate(system_clock::time_point t) {
    const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    const std::int64_t whole = nanos / kNanos - (nanos % kNanos < 0 ? 1 : 0);
    const std::int64_t fraction = nanos - whole * kNanos;
    if (fraction == 0) return whole - kReferenceDate;
    return static_cast<double>(whole - kReferenceDate) + static_cast<double>(fraction) / kNanos;
}

// None for a value that is not a number or does not fit the clock.
std::optional<system_clock::time_point> decodeDate(const nlohmann::json& value) {
    if (!value.is_number()) return std::nullopt;
    if (value.is_number_integer()) {
        const bool isUnsigned = value.is_number_unsigned();
        const auto unsignedValue = isUnsigned ? value.get<std::uint64_t>() : 0;
        if (isUnsigned && unsignedValue > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
        const std::int64_t since = isUnsigned ? static_cast<std::int64_t>(unsignedValue) : value.get<std::int64_t>();
        std::int64_t unix = 0, nanos = 0;
        if (__builtin_add_overflow(since, kReferenceDate, &unix) || __builtin_mul_overflow(unix, kNanos, &nanos))
            return std::nullopt;
        return system_clock::time_point(
            std::chrono::duration_cast<system_clock::duration>(std::chrono::nanoseconds(nanos)));
    }
    const double since = value.get<double>();
    const double whole = std::floor(since);
    // Within ±2^62 ns of 1970, well inside the clock's range.
    constexpr double kLimit = 4.6e9;
    if (!std::isfinite(since) || whole + kReferenceDate > kLimit || whole + kReferenceDate < -kLimit)
        return std::nullopt;
    const auto seconds = static_cast<std::int64_t>(whole) + kReferenceDate;
    const auto fraction = static_cast<std::int64_t>(std::llround((since - whole) * kNanos));
    return system_clock::time_point(std::chrono::duration_cast<system_clock::duration>(
        std::chrono::seconds(seconds) + std::chrono::nanoseconds(fraction)));
}

}  // namespace

std::filesystem::path ScanTimes::fileURL() { return VolumeID::directory() / fileName; }

ScanTimes ScanTimes::load(const std::filesystem::path& path) {
    const auto bytes = platform::readWholeFile(path, kMaxFileBytes);
    return bytes ? fromJSON(*bytes) : ScanTimes{};
}

ScanTimes ScanTimes::fromJSON(std::string_view text) {
    const auto json = parseJSONStrict(text, kMaxDepth);
    if (!json || !json->is_object()) return {};
    const auto found = json->find("times");
    if (found == json->end() || !found->is_object()) return {};
    ScanTimes record;
    for (const auto& [key, value] : found->items()) {
        const auto date = decodeDate(value);
        if (!date) return {};
        record.times[key] = *date;
    }
    return record;
}

std::string ScanTimes::toJSON() const {
    nlohmann::json dates = nlohmann::json::object();
    for (const auto& [key, date] : times) dates[key] = encodeDate(date);
    return writeJSONCompact(nlohmann::json{{"times", std::move(dates)}});
}

bool ScanTimes::save(const std::filesystem::path& path) const {
    return !platform::writeFileAtomically(path, toJSON(), 0600);
}

}  // namespace quorvanta::core
