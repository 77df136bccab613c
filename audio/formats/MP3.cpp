#include "audio/formats/MP3.h"

#include "audio/formats/ID3.h"

namespace quorvanta::audio::MP3 {

const std::array<std::array<std::uint16_t, 16>, 3> br1 = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
}};
const std::array<std::array<std::uint16_t, 16>, 2> br2 = {{
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
}};
const std::array<std::array<std::uint32_t, 3>, 3> rates = {{
    {44100, 48000, 32000},
    {22050, 24000, 16000},
    {11025, 12000, 8000},
}};

namespace {

constexpr std::size_t kWindow = 16384;
constexpr std::size_t kMaxWalk = 200;
constexpr std::uint64_t kTrailer = 128;

}  // namespace

std::optional<Frame> header(ByteView b, std::uint64_t o) {
    if (!fits(b, o, 4) || b[o] != 0xFF || b[o + 1] < 0xE0) return std::nullopt;
    const std::uint8_t b1 = b[o + 1], b2 = b[o + 2], b3 = b[o + 3];
    Frame f;
    switch ((b1 >> 3) & 3) {
        case 3:
            f.version = 0;
            break;
        case 2:
            f.version = 1;
            break;
        case 0:
            f.version = 2;
            break;
        default:
            return std::nullopt;
    }
    const int layerBits = (b1 >> 1) & 3;
    if (layerBits == 0) return std::nullopt;
    f.layer = 4 - layerBits;
    const int brIndex = b2 >> 4;
    const int rateIndex = (b2 >> 2) & 3;
    if (brIndex == 0 || brIndex == 15 || rateIndex == 3) return std::nullopt;
    const std::uint16_t kbps = f.version == 0 ? br1[f.layer - 1][brIndex] : br2[f.layer == 1 ? 0 : 1][brIndex];
    f.bitrate = kbps * 1000u;
    f.sampleRate = rates[f.version][rateIndex];
    f.padding = (b2 >> 1) & 1;
    f.channels = b3 >= 0xC0 ? 1 : 2;
    if (f.layer == 1) {
        f.samples = 384;
        f.length = (12 * f.bitrate / f.sampleRate + f.padding) * 4;
    } else if (f.layer == 2 || f.version == 0) {
        f.samples = 1152;
        f.length = 144 * f.bitrate / f.sampleRate + f.padding;
    } else {
        f.samples = 576;
        f.length = 72 * f.bitrate / f.sampleRate + f.padding;
    }
    if (f.length < 5) return std::nullopt;
    return f;
}

bool parse(const Reader& reader, core::AudioMeta& meta) {
    std::uint64_t start = 0;
    if (const auto head = reader.read(0, 3); head && hasMagic(*head, 0, "ID3")) {
        start = ID3::parse(reader, 0, meta);
    }
    const auto window = reader.read(start, kWindow);
    if (!window) return false;
    const ByteView buf = *window;
    const std::size_t n = buf.size();

    std::optional<Frame> first;
    std::size_t i = 0;
    for (; n > 4 && i < n - 4; ++i) {
        if (buf[i] != 0xFF) continue;
        const auto f = header(buf, i);
        if (!f) continue;
        if (i + f->length + 4 > n) {
            first = f;
            break;
        }
        const auto next = header(buf, i + f->length);
        if (next && next->version == f->version && next->layer == f->layer && next->sampleRate == f->sampleRate) {
            first = f;
            break;
        }
    }
    if (!first) return false;
    const Frame& f = *first;

    const std::uint64_t audioStart = start + i;
    std::uint64_t audioEnd = reader.size();
    if (reader.size() > kTrailer) {
        const auto tail = reader.read(reader.size() - kTrailer, kTrailer);
        if (tail && tail->size() == kTrailer && hasMagic(*tail, 0, "TAG")) {
            audioEnd = reader.size() - kTrailer;
            if (meta.title.empty() && meta.artist.empty()) {
                const ByteView t = *tail;
                meta.title = decodeText(t.subspan(3, 30));
                meta.artist = decodeText(t.subspan(33, 30));
                meta.album = decodeText(t.subspan(63, 30));
                meta.year = ID3::year(std::string_view(reinterpret_cast<const char*>(t.data()) + 93, 4));
                if (t[127] < ID3::kGenres.size()) meta.genre = std::string(ID3::kGenres[t[127]]);
            }
        }
    }

    meta.codec = core::AudioCodec::mp3;
    meta.sampleRate = f.sampleRate;
    meta.channels = f.channels;
    meta.bits = 0;

    const bool mono = f.channels == 1;
    const std::size_t side = f.version == 0 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const std::size_t x = i + 4 + side;
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0;
    bool found = false;
    if (x + 12 <= n && (hasMagic(buf, x, "Xing") || hasMagic(buf, x, "Info"))) {
        found = true;
        const std::uint32_t flags = u32be(buf, x + 4);
        std::size_t at = x + 8;
        if (flags & 1) {
            frames = u32be(buf, at);
            at += 4;
        }
        if (flags & 2) bytes = u32be(buf, at);
        meta.vbr = hasMagic(buf, x, "Xing");
    }
    if (!found && i + 54 <= n && hasMagic(buf, i + 36, "VBRI")) {
        bytes = u32be(buf, i + 46);
        frames = u32be(buf, i + 50);
        meta.vbr = true;
    }
    const std::uint64_t audioBytes = audioEnd > audioStart ? audioEnd - audioStart : 0;

    if (frames > 0) {
        const double seconds = static_cast<double>(f.samples) * frames / f.sampleRate;
        meta.durationMs = static_cast<std::uint32_t>(clampTruncate(seconds * 1000, kMaxDurationMs));
        const double counted = bytes > 0 ? static_cast<double>(bytes) : static_cast<double>(audioBytes);
        meta.bitrateKbps = static_cast<std::uint16_t>(clampRound(counted * 8 / seconds / 1000, kMaxBitrateKbps));
    } else {
        std::uint64_t sum = 0;
        std::uint64_t count = 0;
        bool differs = false;
        for (std::size_t pos = i; pos + 4 <= n && count < kMaxWalk;) {
            const auto g = header(buf, pos);
            if (!g) break;
            sum += g->bitrate;
            ++count;
            differs = differs || g->bitrate != f.bitrate;
            pos += g->length;
        }
        const std::uint64_t average = count > 0 ? sum / count : 0;
        if (average > 0) {
            meta.bitrateKbps = static_cast<std::uint16_t>(std::min<std::uint64_t>(average / 1000, kMaxBitrateKbps));
            meta.durationMs = static_cast<std::uint32_t>(clampTruncate(
                static_cast<double>(audioBytes) * 8 / static_cast<double>(average) * 1000, kMaxDurationMs));
        }
        meta.vbr = differs;
    }
    return meta.durationMs > 0;
}

}  // namespace quorvanta::audio::MP3
