// The acoustic fingerprint of the duplicate finder's last stage: `fpcalc` (Debian package
// libchromaprint-tools) run on a file prints its raw fingerprint, a list of 32-bit numbers, one
// per slice of about 0.12 s of audio; two files sound alike when their lists, slid against each
// other by up to 8 places, differ in few bits.
//
// `fpcalc` runs as a child program (platform/process/ChildProgram.h): no shell, standard error
// discarded, its output bounded and its run limited in time, so a program that prints without
// end or never ends costs the one member its fingerprint and nothing else.
//
// Threads: pure functions and child processes of their own; safe from any thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::audio {

using Fingerprint = std::vector<std::uint32_t>;

inline constexpr std::chrono::milliseconds kFingerprintTimeLimit{120'000};
// Far above what 90 s of audio gives (about 750 numbers of at most 11 characters).
inline constexpr std::size_t kFingerprintMaxOutput = 4 << 20;
inline constexpr int kFingerprintSeconds = 90;

// The first of: "fpcalc" beside the running program, /usr/local/bin/fpcalc, /usr/bin/fpcalc
// that is a regular file we may execute; none when there is none. Looked up anew at every call.
std::optional<std::string> fpcalcPath();

// Runs `fpcalc -raw -length <seconds> <path>` and reads its fingerprint. None when the program
// cannot start, exits with another status than 0 or 3 (its decoder stopped early, as at the end
// of any file shorter than `seconds`), runs past timeLimit, prints more than
// kFingerprintMaxOutput bytes, or prints no "FINGERPRINT=" line with at least one number.
std::optional<Fingerprint> fingerprint(const std::string& path, const std::string& fpcalc, int seconds,
                                       std::chrono::milliseconds timeLimit = kFingerprintTimeLimit);

// The fingerprint in fpcalc's output: the numbers of the first line that starts with
// "FINGERPRINT=", split at commas; pieces that are not unsigned 32-bit decimal numbers are
// skipped. None for output that is not UTF-8 or holds no such line or number.
std::optional<Fingerprint> parseFingerprint(std::string_view output);

// 1 - (differing bits / compared bits) at the best of the shifts -8..8 whose overlap holds at
// least 40 numbers; 0 when no shift overlaps that much.
double similarity(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b);

}  // namespace quorvanta::audio
