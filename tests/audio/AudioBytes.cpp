#include "tests/audio/AudioBytes.h"

#include "QuorvantaCore/text/Utf8.h"

#include <sys/mman.h>
#include <unistd.h>
#include <stdexcept>

namespace quorvanta::audio::test {

void put(Bytes& b, std::string_view ascii) { b.insert(b.end(), ascii.begin(), ascii.end()); }
void put(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

void putBE(Bytes& b, std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putLE(Bytes& b, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putSynchsafe(Bytes& b, std::uint32_t v) {
    for (int shift : {21, 14, 7, 0}) b.push_back(static_cast<std::uint8_t>((v >> shift) & 0x7F));
}

Bytes bytesOf(std::string_view ascii) { return Bytes(ascii.begin(), ascii.end()); }
Bytes bytesOf(std::initializer_list<std::uint8_t> values) { return Bytes(values); }

namespace {

std::vector<char32_t> codePoints(std::string_view utf8) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const std::size_t n = core::text::decodeUtf8(utf8, i, cp);
        if (n == 0) throw std::invalid_argument("test text is not UTF-8");
        out.push_back(cp);
        i += n;
    }
    return out;
}

}  // namespace

Bytes latin1(std::string_view utf8) {
    Bytes out;
    for (char32_t cp : codePoints(utf8)) out.push_back(cp <= 0xFF ? static_cast<std::uint8_t>(cp) : '?');
    return out;
}

Bytes utf16(std::string_view utf8, bool le) {
    Bytes out;
    auto unit = [&](std::uint32_t u) { le ? putLE(out, u, 2) : putBE(out, u, 2); };
    for (char32_t cp : codePoints(utf8)) {
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

Id3Builder& Id3Builder::text(std::string_view id, std::string_view utf8, int encoding) {
    Bytes body{static_cast<std::uint8_t>(encoding)};
    switch (encoding) {
        case 0:
            put(body, latin1(utf8));
            body.push_back(0);
            break;
        case 1:
            put(body, bytesOf({0xFF, 0xFE}));
            put(body, utf16(utf8, true));
            put(body, bytesOf({0, 0}));
            break;
        case 2:
            put(body, utf16(utf8, false));
            put(body, bytesOf({0, 0}));
            break;
        default:
            put(body, utf8);
            body.push_back(0);
            break;
    }
    return frame(id, body);
}

Id3Builder& Id3Builder::frame(std::string_view id, const Bytes& body, std::optional<std::uint32_t> sizeOverride) {
    const std::uint32_t size = sizeOverride.value_or(static_cast<std::uint32_t>(body.size()));
    put(frames_, id);
    if (version_ == 2) {
        putBE(frames_, size, 3);
    } else {
        version_ == 3 ? putBE(frames_, size, 4) : putSynchsafe(frames_, size);
        putBE(frames_, 0, 2);  // flags
    }
    put(frames_, body);
    return *this;
}

Bytes Id3Builder::build() const {
    Bytes ext;
    if (extended_) {
        if (version_ == 4) {
            putSynchsafe(ext, *extended_ + 4);  // the v2.4 length counts its own 4 bytes
        } else {
            putBE(ext, *extended_, 4);  // the v2.3 length leaves them out
        }
        ext.resize(ext.size() + *extended_, 0);
    }
    const std::uint32_t size = static_cast<std::uint32_t>(ext.size() + frames_.size() + padding_);
    std::uint8_t flags = 0;
    if (extended_) flags |= 0x40;
    if (footer_) flags |= 0x10;
    Bytes out;
    put(out, "ID3");
    out.push_back(static_cast<std::uint8_t>(version_));
    out.push_back(0);
    out.push_back(flags);
    putSynchsafe(out, size);
    put(out, ext);
    put(out, frames_);
    out.resize(out.size() + padding_, 0);
    if (footer_) {
        put(out, "3DI");
        out.push_back(static_cast<std::uint8_t>(version_));
        out.push_back(0);
        out.push_back(flags);
        putSynchsafe(out, size);
    }
    return out;
}

Bytes mpegHeaderBytes(const MpegHeader& h) {
    const int versionBits = h.version == 0 ? 3 : h.version == 1 ? 2 : 0;
    const int layerBits = 4 - h.layer;
    return bytesOf({0xFF, static_cast<std::uint8_t>(0xE0 | versionBits << 3 | layerBits << 1 | 1),
                    static_cast<std::uint8_t>(h.bitrateIndex << 4 | h.rateIndex << 2 | (h.padding ? 2 : 0)),
                    static_cast<std::uint8_t>(h.mono ? 0xC0 : 0x00)});
}

std::size_t mpegFrameLength(const MpegHeader& h) {
    static const int kbps1[3][16] = {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
                                     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
                                     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}};
    static const int kbps2[2][16] = {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
                                     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};
    static const int hz[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    if (h.bitrateIndex <= 0 || h.bitrateIndex >= 15 || h.rateIndex < 0 || h.rateIndex >= 3) return 0;
    const long bps =
        1000L * (h.version == 0 ? kbps1[h.layer - 1][h.bitrateIndex] : kbps2[h.layer == 1 ? 0 : 1][h.bitrateIndex]);
    const long rate = hz[h.version][h.rateIndex];
    const long pad = h.padding ? 1 : 0;
    if (h.layer == 1) return static_cast<std::size_t>((12 * bps / rate + pad) * 4);
    if (h.layer == 2 || h.version == 0) return static_cast<std::size_t>(144 * bps / rate + pad);
    return static_cast<std::size_t>(72 * bps / rate + pad);
}

Bytes mpegFrame(const MpegHeader& h) {
    Bytes out = mpegHeaderBytes(h);
    out.resize(mpegFrameLength(h), 0);
    return out;
}

Bytes mpegFrames(const MpegHeader& h, std::size_t count) {
    Bytes out;
    const Bytes one = mpegFrame(h);
    for (std::size_t i = 0; i < count; ++i) put(out, one);
    return out;
}

Bytes mpegVbrFrame(const MpegHeader& h, std::string_view magic, std::uint32_t frames, std::uint32_t bytes) {
    Bytes out = mpegFrame(h);
    Bytes body;
    std::size_t at = 0;
    if (magic == "VBRI") {
        at = 36;
        put(body, "VBRI");
        putBE(body, 1, 2);       // version
        putBE(body, 0, 2);       // delay
        putBE(body, 75, 2);      // quality
        putBE(body, bytes, 4);   // at +46 from the frame start
        putBE(body, frames, 4);  // at +50
    } else {
        const bool mono = h.mono;
        at = 4 + (h.version == 0 ? (mono ? 17 : 32) : (mono ? 9 : 17));
        put(body, magic);
        putBE(body, 3, 4);
        putBE(body, frames, 4);
        putBE(body, bytes, 4);
    }
    if (out.size() < at + body.size()) out.resize(at + body.size(), 0);
    std::copy(body.begin(), body.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
    return out;
}

Bytes id3v1(std::string_view title, std::string_view artist, std::string_view album, std::string_view year,
            std::uint8_t genre) {
    Bytes out;
    put(out, "TAG");
    auto field = [&](std::string_view text, std::size_t width) {
        Bytes f(text.begin(), text.end());
        f.resize(width, 0);
        put(out, f);
    };
    field(title, 30);
    field(artist, 30);
    field(album, 30);
    field(year, 4);
    field("", 30);
    out.push_back(genre);
    return out;
}

MemFile::MemFile(const Bytes& bytes) {
    fd_ = memfd_create("audio-test", MFD_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("memfd_create failed");
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = write(fd_, bytes.data() + done, bytes.size() - done);
        if (w <= 0) throw std::runtime_error("memfd write failed");
        done += static_cast<std::size_t>(w);
    }
}

MemFile::~MemFile() {
    if (fd_ >= 0) close(fd_);
}

}  // namespace quorvanta::audio::test
