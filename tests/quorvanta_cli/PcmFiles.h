// PCM audio written by the tool's tests: little- and big-endian integers, a 16-bit sine and a
// canonical WAV file around it.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace quorvanta::cli::test {

inline void putLE(std::string& b, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
}
inline void putBE(std::string& b, std::uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<char>(v >> (8 * i)));
}

// 16-bit PCM of a 440 Hz sine, interleaved, little- or big-endian.
inline std::string pcm16(int rate, int channels, double seconds, bool bigEndian) {
    std::string out;
    const int frames = static_cast<int>(rate * seconds);
    for (int i = 0; i < frames; ++i) {
        const auto s = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * i / rate));
        for (int c = 0; c < channels; ++c) (bigEndian ? putBE : putLE)(out, static_cast<std::uint16_t>(s), 2);
    }
    return out;
}

inline std::string wavFile(int rate, int channels, double seconds, int formatTag = 1) {
    const std::string data = pcm16(rate, channels, seconds, false);
    std::string b = "RIFF";
    putLE(b, 36 + data.size(), 4);
    b += "WAVEfmt ";
    putLE(b, 16, 4);
    putLE(b, formatTag, 2);
    putLE(b, channels, 2);
    putLE(b, rate, 4);
    putLE(b, rate * channels * 2, 4);
    putLE(b, channels * 2, 2);
    putLE(b, 16, 2);
    b += "data";
    putLE(b, data.size(), 4);
    return b + data;
}

}  // namespace quorvanta::cli::test
