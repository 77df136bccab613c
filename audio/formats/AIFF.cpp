#include "audio/formats/AIFF.h"

#include "audio/formats/ID3.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvanta::audio::AIFF {

namespace {

constexpr int kMaxChunks = 64;
constexpr std::uint32_t kMaxText = 4096;

core::AudioCodec codecOf(ByteView comm) {
    if (comm.size() < 22) return core::AudioCodec::aiff;
    const std::string type = fourCC(comm, 18);
    if (type == "fl32" || type == "fl64") return core::AudioCodec::pcmFloat;
    if (type == "NONE" || type == "sowt" || type == "twos") return core::AudioCodec::aiff;
    return core::AudioCodec::other;
}

}  // namespace

double extended(ByteView b, std::uint64_t o) {
    if (!fits(b, o, 10)) return 0;
    const int exponent = u16be(b, o) & 0x7FFF;
    const std::uint64_t mantissa = u64be(b, o + 2);
    if (exponent == 0 && mantissa == 0) return 0;
    return std::ldexp(static_cast<double>(mantissa), exponent - 16446);
}

bool parse(const Reader& reader, core::AudioMeta& meta) {
    bool comm = false;
    std::uint64_t pos = 12;
    for (int chunk = 0; chunk < kMaxChunks && pos <= reader.size() && reader.size() - pos >= 8; ++chunk) {
        const auto h = reader.read(pos, 8);
        if (!h || h->size() < 8) break;
        const std::string id = fourCC(*h, 0);
        const std::uint64_t size = u32be(*h, 4);
        const std::uint64_t body = pos + 8;
        if (id == "COMM" && size >= 18) {
            const auto c = reader.read(body, static_cast<std::size_t>(std::min<std::uint64_t>(size, 30)));
            if (!c) return false;
            const double rate = extended(*c, 8);
            if (!std::isfinite(rate) || rate > std::numeric_limits<std::uint32_t>::max()) return false;
            const std::uint16_t channels = u16be(*c, 0);
            const std::uint32_t frames = u32be(*c, 2);
            const std::uint16_t bits = u16be(*c, 6);
            meta.channels = static_cast<std::uint8_t>(std::min<std::uint16_t>(channels, 255));
            meta.bits = static_cast<std::uint8_t>(std::min<std::uint16_t>(bits, 255));
            meta.sampleRate = static_cast<std::uint32_t>(rate);
            meta.codec = codecOf(*c);
            if (rate > 0) {
                meta.durationMs = static_cast<std::uint32_t>(clampTruncate(frames / rate * 1000, kMaxDurationMs));
            }
            meta.bitrateKbps =
                static_cast<std::uint16_t>(clampTruncate(rate * bits * channels / 1000, kMaxBitrateKbps));
            comm = true;
        } else if ((id == "NAME" || id == "AUTH") && size < kMaxText) {
            if (const auto text = reader.read(body, static_cast<std::size_t>(size))) {
                (id == "NAME" ? meta.title : meta.artist) = decodeText(*text);
            }
        } else if (id == "ID3 ") {
            ID3::parse(reader, body, meta);
        }
        pos = body + size + (size & 1);
    }
    return comm && meta.durationMs > 0;
}

}  // namespace quorvanta::audio::AIFF
