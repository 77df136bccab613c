#include "audio/dupes/Fingerprint.h"

#include "QuorvantaCore/text/Utf8.h"
#include "platform/process/ChildProgram.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <filesystem>

namespace quorvanta::audio {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Our own program's folder, standing in for an application bundle's resources.
std::optional<std::string> programFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return std::nullopt;
    return exe.parent_path().string();
}

// An unsigned 32-bit decimal number and nothing else.
std::optional<std::uint32_t> parseU32(std::string_view piece) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    if (error != std::errc() || end != piece.data() + piece.size() || piece.empty()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> fpcalcPath() {
    std::vector<std::string> places;
    if (const auto folder = programFolder()) places.push_back(*folder + "/fpcalc");
    places.push_back("/usr/local/bin/fpcalc");
    places.push_back("/usr/bin/fpcalc");
    for (const std::string& place : places) {
        if (isExecutableFile(place)) return place;
    }
    return std::nullopt;
}

std::optional<Fingerprint> parseFingerprint(std::string_view output) {
    if (!core::text::isValidUtf8(output)) return std::nullopt;
    constexpr std::string_view kPrefix = "FINGERPRINT=";
    std::size_t at = 0;
    while (at < output.size()) {
        std::size_t end = output.find('\n', at);
        if (end == std::string_view::npos) end = output.size();
        const std::string_view line = output.substr(at, end - at);
        at = end + 1;
        if (!line.starts_with(kPrefix)) continue;
        Fingerprint numbers;
        std::string_view rest = line.substr(kPrefix.size());
        while (!rest.empty()) {
            const std::size_t comma = std::min(rest.find(','), rest.size());
            if (const auto value = parseU32(rest.substr(0, comma))) numbers.push_back(*value);
            rest.remove_prefix(std::min(comma + 1, rest.size()));
        }
        if (numbers.empty()) return std::nullopt;
        return numbers;
    }
    return std::nullopt;
}

std::optional<Fingerprint> fingerprint(const std::string& path, const std::string& fpcalc, int seconds,
                                       std::chrono::milliseconds timeLimit) {
    const auto run = platform::runChildProgram(fpcalc, "fpcalc", {"-raw", "-length", std::to_string(seconds), path},
                                               timeLimit, kFingerprintMaxOutput);
    if (!run || run->timedOut || run->tooLong) return std::nullopt;
    // fpcalc 1.5.1 ends with status 3 when its decoder stops with an error after the fingerprint
    // was printed, which is what every file shorter than the length asked for gets ("Error
    // decoding audio frame (End of file)"). Its fingerprint covers what was decoded, so it
    // counts; any other status than 0 and 3 means no fingerprint.
    constexpr int kDecodingStoppedEarly = 3;
    if (run->exitStatus != 0 && run->exitStatus != kDecodingStoppedEarly) return std::nullopt;
    return parseFingerprint(run->output);
}

double similarity(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b) {
    constexpr int kMaxShift = 8;
    constexpr std::size_t kMinOverlap = 40;
    double best = 0;
    for (int shift = -kMaxShift; shift <= kMaxShift; ++shift) {
        const std::size_t fromA = shift > 0 ? std::min<std::size_t>(shift, a.size()) : 0;
        const std::size_t fromB = shift < 0 ? std::min<std::size_t>(-shift, b.size()) : 0;
        const std::size_t n = std::min(a.size() - fromA, b.size() - fromB);
        if (n < kMinOverlap) continue;
        std::uint64_t differing = 0;
        for (std::size_t i = 0; i < n; ++i) differing += std::popcount(a[fromA + i] ^ b[fromB + i]);
        best = std::max(best, 1.0 - static_cast<double>(differing) / (32.0 * static_cast<double>(n)));
    }
    return best;
}

}  // namespace quorvanta::audio
