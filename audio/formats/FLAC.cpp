#include "audio/formats/FLAC.h"

#include "audio/formats/ID3.h"

namespace quorvanta::audio::FLAC {

namespace {

constexpr int kMaxBlocks = 64;
constexpr std::uint32_t kMaxCommentBlock = 1 << 20;
constexpr std::uint32_t kMaxComments = 500;
constexpr std::size_t kStreamInfo = 34;

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return out;
}

}  // namespace

void vorbisComments(ByteView body, core::AudioMeta& meta) {
    if (body.size() < 8) return;
    std::uint64_t pos = std::uint64_t{u32le(body, 0)} + 8;  // behind the vendor text and the count
    if (pos > body.size()) return;
    const std::uint32_t count = std::min(u32le(body, pos - 4), kMaxComments);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!fits(body, pos, 4)) return;
        const std::uint64_t length = u32le(body, pos);
        pos += 4;
        if (!fits(body, pos, length)) return;
        const std::string text = decodeText(body.subspan(pos, length));
        pos += length;
        const std::size_t eq = text.find('=');
        if (eq == std::string::npos) continue;
        const std::string name = upperAscii(std::string_view(text).substr(0, eq));
        std::string value = text.substr(eq + 1);
        if (name == "ARTIST" || name == "ALBUMARTIST") {
            if (meta.artist.empty()) meta.artist = std::move(value);
        } else if (name == "TITLE") {
            meta.title = std::move(value);
        } else if (name == "ALBUM") {
            meta.album = std::move(value);
        } else if (name == "GENRE") {
            meta.genre = std::move(value);
        } else if (name == "DATE" || name == "YEAR") {
            if (meta.year == 0) meta.year = ID3::year(value);
        } else if (name == "BPM" || name == "TEMPO") {
            meta.bpm10 = ID3::bpm10(value);
        } else if (name == "INITIALKEY" || name == "KEY") {
            meta.key = std::move(value);
        }
    }
}

bool parse(const Reader& reader, std::uint64_t start, core::AudioMeta& meta) {
    if (start > 0) {
        meta = core::AudioMeta{};
        ID3::parse(reader, 0, meta);
    }
    bool streamInfo = false;
    std::uint64_t pos = start + 4;
    for (int block = 0; block < kMaxBlocks && pos < reader.size(); ++block) {
        const auto h = reader.read(pos, 4);
        if (!h || h->size() < 4) break;
        const bool last = ((*h)[0] & 0x80) != 0;
        const int type = (*h)[0] & 0x7F;
        const std::uint32_t length = u24be(*h, 1);
        if (type == 4 && length <= kMaxCommentBlock) {
            if (const auto body = reader.read(pos + 4, length)) vorbisComments(*body, meta);
        } else if (type == 0 && length >= kStreamInfo) {
            const auto s = reader.read(pos + 4, kStreamInfo);
            if (!s || s->size() < kStreamInfo) return false;
            const ByteView b = *s;
            const std::uint32_t rate = std::uint32_t{b[10]} << 12 | std::uint32_t{b[11]} << 4 | b[12] >> 4;
            meta.sampleRate = rate;
            meta.channels = static_cast<std::uint8_t>(((b[12] >> 1) & 7) + 1);
            meta.bits = static_cast<std::uint8_t>(((b[12] & 1) << 4 | b[13] >> 4) + 1);
            meta.codec = core::AudioCodec::flac;
            streamInfo = true;
            const std::uint64_t samples = std::uint64_t{b[13] & 0x0Fu} << 32 | u32be(b, 14);
            if (rate > 0 && samples > 0) {
                meta.durationMs = static_cast<std::uint32_t>(
                    clampTruncate(static_cast<double>(samples) / rate * 1000, kMaxDurationMs));
            }
        }
        pos += 4 + std::uint64_t{length};  // at most 2^24 + 3 past a position inside the file
        if (last) break;
    }
    if (!streamInfo) return false;
    if (meta.durationMs > 0 && reader.size() > pos) {
        const double seconds = meta.durationMs / 1000.0;
        meta.bitrateKbps = static_cast<std::uint16_t>(
            clampRound(static_cast<double>(reader.size() - pos) * 8 / seconds / 1000, kMaxBitrateKbps));
    }
    return true;
}

}  // namespace quorvanta::audio::FLAC
