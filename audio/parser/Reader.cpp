#include "audio/parser/Reader.h"

#include "QuorvantaCore/text/CharClass.h"
#include "QuorvantaCore/text/Utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cmath>

namespace quorvanta::audio {

std::optional<Reader> Reader::adopt(int fd) {
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        close(fd);
        return std::nullopt;
    }
    return Reader(fd, static_cast<std::uint64_t>(st.st_size));
}

std::optional<Reader> Reader::open(const std::string& path) {
    // O_NONBLOCK keeps open() from waiting for a FIFO's writer; the type is checked right after.
    return adopt(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
}

std::optional<Reader> Reader::fromDescriptor(int fd) { return adopt(fcntl(fd, F_DUPFD_CLOEXEC, 0)); }

Reader::Reader(Reader&& other) noexcept : fd_(other.fd_), size_(other.size_) { other.fd_ = -1; }

Reader& Reader::operator=(Reader&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = other.fd_;
        size_ = other.size_;
        other.fd_ = -1;
    }
    return *this;
}

Reader::~Reader() {
    if (fd_ >= 0) close(fd_);
}

std::optional<Bytes> Reader::read(std::uint64_t offset, std::size_t count) const {
    if (offset >= size_ || count < 1) return std::nullopt;
    const std::uint64_t want = std::min<std::uint64_t>(size_ - offset, count);
    Bytes out(static_cast<std::size_t>(want));
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t r = pread(fd_, out.data() + got, out.size() - got, static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    if (got == 0) return std::nullopt;
    out.resize(got);
    return out;
}

std::uint16_t u16be(ByteView b, std::uint64_t o) {
    return fits(b, o, 2) ? static_cast<std::uint16_t>(b[o] << 8 | b[o + 1]) : 0;
}

std::uint16_t u16le(ByteView b, std::uint64_t o) {
    return fits(b, o, 2) ? static_cast<std::uint16_t>(b[o + 1] << 8 | b[o]) : 0;
}

std::uint32_t u24be(ByteView b, std::uint64_t o) {
    return fits(b, o, 3) ? std::uint32_t{b[o]} << 16 | std::uint32_t{b[o + 1]} << 8 | b[o + 2] : 0;
}

std::uint32_t u32be(ByteView b, std::uint64_t o) {
    if (!fits(b, o, 4)) return 0;
    return std::uint32_t{b[o]} << 24 | std::uint32_t{b[o + 1]} << 16 | std::uint32_t{b[o + 2]} << 8 | b[o + 3];
}

std::uint32_t u32le(ByteView b, std::uint64_t o) {
    if (!fits(b, o, 4)) return 0;
    return std::uint32_t{b[o + 3]} << 24 | std::uint32_t{b[o + 2]} << 16 | std::uint32_t{b[o + 1]} << 8 | b[o];
}

std::uint64_t u64be(ByteView b, std::uint64_t o) {
    if (!fits(b, o, 8)) return 0;
    return std::uint64_t{u32be(b, o)} << 32 | u32be(b, o + 4);
}

namespace {

void appendLatin1(std::string& out, std::uint8_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else {
        out.push_back(static_cast<char>(0xC0 | c >> 6));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | cp >> 6));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | cp >> 12));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | cp >> 18));
        out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// UTF-16 to UTF-8, ending at the first NUL unit. None for an odd length or a lone surrogate.
std::optional<std::string> fromUtf16(ByteView b, Utf16 order) {
    if (b.size() % 2 != 0) return std::nullopt;
    auto unit = [&](std::size_t i) -> char32_t { return order == Utf16::littleEndian ? u16le(b, i) : u16be(b, i); };
    std::string out;
    for (std::size_t i = 0; i < b.size(); i += 2) {
        char32_t u = unit(i);
        if (u == 0) break;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 2 >= b.size()) return std::nullopt;
            const char32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return std::nullopt;
        }
        appendUtf8(out, u);
    }
    return out;
}

}  // namespace

std::string fourCC(ByteView b, std::uint64_t o) {
    if (!fits(b, o, 4)) return {};
    std::string out;
    for (std::uint64_t i = o; i < o + 4; ++i) appendLatin1(out, b[i] == 0 ? ' ' : b[i]);
    return out;
}

bool hasMagic(ByteView b, std::uint64_t o, std::string_view magic) {
    if (!fits(b, o, magic.size())) return false;
    for (std::size_t i = 0; i < magic.size(); ++i) {
        if (b[o + i] != static_cast<std::uint8_t>(magic[i])) return false;
    }
    return true;
}

std::string decodeText(ByteView bytes, std::optional<Utf16> utf16) {
    std::string text;
    if (utf16) {
        std::size_t n = bytes.size();
        while (n >= 2 && bytes[n - 1] == 0 && bytes[n - 2] == 0) n -= 2;
        text = fromUtf16(bytes.first(n), *utf16).value_or(std::string{});
    } else {
        std::size_t n = 0;
        while (n < bytes.size() && bytes[n] != 0) ++n;
        const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), n);
        if (core::text::isValidUtf8(raw)) {
            text.assign(raw);
        } else {
            for (std::size_t i = 0; i < n; ++i) appendLatin1(text, bytes[i]);
        }
    }
    return std::string(core::text::trimWhiteSpace(text));
}

std::uint64_t clampTruncate(double value, std::uint64_t max) {
    if (!(value > 0)) return 0;  // NaN and negatives
    if (value >= static_cast<double>(max)) return max;
    return static_cast<std::uint64_t>(value);
}

std::uint64_t clampRound(double value, std::uint64_t max) { return clampTruncate(std::round(value), max); }

}  // namespace quorvanta::audio
