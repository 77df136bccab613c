#include "audio/formats/WAV.h"

#include "audio/formats/ID3.h"

#include <algorithm>

namespace quorvanta::audio::WAV {

namespace {

constexpr int kMaxChunks = 64;
constexpr std::uint32_t kMaxList = 1048575;

core::AudioCodec codecOf(std::uint16_t tag) {
    switch (tag) {
        case 1:
            return core::AudioCodec::pcm;
        case 3:
            return core::AudioCodec::pcmFloat;
        default:
            return core::AudioCodec::other;
    }
}

}  // namespace

void listInfo(ByteView body, core::AudioMeta& meta) {
    std::uint64_t pos = 4;
    while (fits(body, pos, 8)) {
        const std::string id = fourCC(body, pos);
        const std::uint64_t length = u32le(body, pos + 4);
        if (!fits(body, pos + 8, length)) return;
        std::string text = decodeText(body.subspan(pos + 8, length));
        if (id == "IART") {
            meta.artist = std::move(text);
        } else if (id == "INAM") {
            meta.title = std::move(text);
        } else if (id == "IPRD") {
            meta.album = std::move(text);
        } else if (id == "IGNR") {
            meta.genre = std::move(text);
        } else if (id == "ICRD") {
            meta.year = ID3::year(text);
        }
        pos += 8 + length + (length & 1);
    }
}

bool parse(const Reader& reader, core::AudioMeta& meta) {
    bool fmt = false;
    std::uint32_t byteRate = 0;
    std::uint64_t pos = 12;
    for (int chunk = 0; chunk < kMaxChunks && pos <= reader.size() && reader.size() - pos >= 8; ++chunk) {
        const auto h = reader.read(pos, 8);
        if (!h) break;
        const std::string id = fourCC(*h, 0);
        const std::uint64_t size = u32le(*h, 4);  // 0 when the header came back short
        const std::uint64_t body = pos + 8;
        if (id == "fmt " && size >= 16) {
            const auto f = reader.read(body, static_cast<std::size_t>(std::min<std::uint64_t>(size, 40)));
            if (!f) return false;
            std::uint16_t tag = u16le(*f, 0);
            if (tag == 0xFFFE && f->size() >= 26) tag = u16le(*f, 24);
            meta.codec = codecOf(tag);
            meta.channels = static_cast<std::uint8_t>(std::min<std::uint16_t>(u16le(*f, 2), 255));
            meta.sampleRate = u32le(*f, 4);
            byteRate = u32le(*f, 8);
            meta.bits = static_cast<std::uint8_t>(std::min<std::uint16_t>(u16le(*f, 14), 255));
            fmt = true;
        } else if (id == "data") {
            const std::uint64_t left = reader.size() - body;
            const std::uint64_t bytes = size < 0xFFFFFFFF && size <= left ? size : left;
            meta.durationMs = byteRate == 0 ? 0
                                            : static_cast<std::uint32_t>(clampTruncate(
                                                  static_cast<double>(bytes) / byteRate * 1000, kMaxDurationMs));
        } else if (id == "LIST" && size >= 4 && size <= kMaxList) {
            if (const auto list = reader.read(body, static_cast<std::size_t>(size));
                list && hasMagic(*list, 0, "INFO")) {
                listInfo(*list, meta);
            }
        } else if (id == "id3 " || id == "ID3 ") {
            ID3::parse(reader, body, meta);
        }
        pos = body + size + (size & 1);  // pos < 2^63 and size < 2^32: no overflow
    }
    if (!fmt || byteRate == 0) return false;
    meta.bitrateKbps =
        static_cast<std::uint16_t>(std::min<std::uint64_t>(std::uint64_t{byteRate} * 8 / 1000, kMaxBitrateKbps));
    return meta.durationMs > 0;
}

}  // namespace quorvanta::audio::WAV
