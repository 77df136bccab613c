#include "audio/formats/ID3.h"

#include "QuorvantaCore/text/CharClass.h"

#include <charconv>
#include <cmath>

namespace quorvanta::audio::ID3 {

const std::array<std::string_view, 80> kGenres = {"Blues",
                                                  "Classic Rock",
                                                  "Country",
                                                  "Dance",
                                                  "Disco",
                                                  "Funk",
                                                  "Grunge",
                                                  "Hip-Hop",
                                                  "Jazz",
                                                  "Metal",
                                                  "New Age",
                                                  "Oldies",
                                                  "Other",
                                                  "Pop",
                                                  "R&B",
                                                  "Rap",
                                                  "Reggae",
                                                  "Rock",
                                                  "Techno",
                                                  "Industrial",
                                                  "Alternative",
                                                  "Ska",
                                                  "Death Metal",
                                                  "Pranks",
                                                  "Soundtrack",
                                                  "Euro-Techno",
                                                  "Ambient",
                                                  "Trip-Hop",
                                                  "Vocal",
                                                  "Jazz+Funk",
                                                  "Fusion",
                                                  "Trance",
                                                  "Classical",
                                                  "Instrumental",
                                                  "Acid",
                                                  "House",
                                                  "Game",
                                                  "Sound Clip",
                                                  "Gospel",
                                                  "Noise",
                                                  "AlternRock",
                                                  "Bass",
                                                  "Soul",
                                                  "Punk",
                                                  "Space",
                                                  "Meditative",
                                                  "Instrumental Pop",
                                                  "Instrumental Rock",
                                                  "Ethnic",
                                                  "Gothic",
                                                  "Darkwave",
                                                  "Techno-Industrial",
                                                  "Electronic",
                                                  "Pop-Folk",
                                                  "Eurodance",
                                                  "Dream",
                                                  "Southern Rock",
                                                  "Comedy",
                                                  "Cult",
                                                  "Gangsta",
                                                  "Top 40",
                                                  "Christian Rap",
                                                  "Pop/Funk",
                                                  "Jungle",
                                                  "Native American",
                                                  "Cabaret",
                                                  "New Wave",
                                                  "Psychadelic",
                                                  "Rave",
                                                  "Showtunes",
                                                  "Trailer",
                                                  "Lo-Fi",
                                                  "Tribal",
                                                  "Acid Punk",
                                                  "Acid Jazz",
                                                  "Polka",
                                                  "Retro",
                                                  "Musical",
                                                  "Rock & Roll",
                                                  "Hard Rock"};

namespace {

constexpr std::size_t kMaxFrames = 400;
constexpr std::uint32_t kMaxFrameBody = 8192;

struct Header {
    std::uint8_t version = 0;
    std::uint8_t flags = 0;
    std::uint64_t end = 0;
};

// The tag header at offset, when one starts there.
std::optional<Header> readHeader(const Reader& reader, std::uint64_t offset) {
    const auto h = reader.read(offset, 10);
    if (!h || h->size() < 10 || !hasMagic(*h, 0, "ID3")) return std::nullopt;
    for (int i = 6; i < 10; ++i) {
        if ((*h)[i] >= 0x80) return std::nullopt;
    }
    Header header{(*h)[3], (*h)[5], 0};
    // offset lies inside the file and the size is at most 2^28, so this cannot overflow.
    header.end = offset + 10 + synchsafe(*h, 6);
    if (header.version == 4 && (header.flags & 0x10)) header.end += 10;
    return header;
}

}  // namespace

std::uint32_t synchsafe(ByteView b, std::uint64_t i) {
    if (!fits(b, i, 4)) return 0;
    return std::uint32_t{b[i] & 0x7Fu} << 21 | std::uint32_t{b[i + 1] & 0x7Fu} << 14 |
           std::uint32_t{b[i + 2] & 0x7Fu} << 7 | (b[i + 3] & 0x7Fu);
}

std::uint64_t tagEnd(const Reader& reader, std::uint64_t offset) {
    const auto header = readHeader(reader, offset);
    return header ? header->end : offset;
}

std::optional<Field> field(std::string_view id) {
    struct Entry {
        std::string_view id;
        Field field;
    };
    static constexpr Entry kFields[] = {
        {"TPE1", Field::artist}, {"TP1", Field::artist}, {"TPE2", Field::albumArtist}, {"TP2", Field::albumArtist},
        {"TIT2", Field::title},  {"TT2", Field::title},  {"TALB", Field::album},       {"TAL", Field::album},
        {"TCON", Field::genre},  {"TCO", Field::genre},  {"TYER", Field::year},        {"TYE", Field::year},
        {"TDRC", Field::year},   {"TDRL", Field::year},  {"TDOR", Field::year},        {"TBPM", Field::bpm},
        {"TBP", Field::bpm},     {"TKEY", Field::key},   {"TKE", Field::key}};
    for (const Entry& e : kFields) {
        if (e.id == id) return e.field;
    }
    return std::nullopt;
}

std::string frameText(ByteView data) {
    if (data.empty()) return {};
    const std::uint8_t encoding = data[0];
    if (encoding == 1 || encoding == 2) {
        Utf16 order = encoding == 1 ? Utf16::littleEndian : Utf16::bigEndian;
        std::size_t start = 1;
        if (data.size() > 2 && data[1] == 0xFF && data[2] == 0xFE) {
            order = Utf16::littleEndian;
            start = 3;
        } else if (data.size() > 2 && data[1] == 0xFE && data[2] == 0xFF) {
            order = Utf16::bigEndian;
            start = 3;
        }
        const ByteView text = data.subspan(start);
        std::size_t end = text.size();
        for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
            if (text[i] == 0 && text[i + 1] == 0) {
                end = i;
                break;
            }
        }
        return decodeText(text.first(end), order);
    }
    const ByteView text = data.subspan(1);
    std::size_t end = 0;
    while (end < text.size() && text[end] != 0) ++end;
    return decodeText(text.first(end));
}

std::string genreName(std::string_view raw) {
    std::string_view text = core::text::trimBlanks(raw);
    if (!text.empty() && text.front() == '(') {
        const std::size_t close = text.find(')');
        if (close != std::string_view::npos) {
            const std::string_view rest = core::text::trimWhiteSpace(text.substr(close + 1));
            if (!rest.empty()) return std::string(rest);
            text = text.substr(1, close - 1);
        }
    }
    if (text.empty()) return std::string(text);
    // A decimal integer with an optional sign; long digit strings only count as "large".
    std::size_t i = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    const bool negative = text[0] == '-';
    if (i == text.size()) return std::string(text);
    unsigned value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::string(text);
        value = std::min(value * 10 + static_cast<unsigned>(text[i] - '0'), 1000u);
    }
    if ((negative && value != 0) || value >= kGenres.size()) return std::string(text);
    return std::string(kGenres[value]);
}

std::uint16_t year(std::string_view text) {
    if (text.size() < 4) return 0;
    unsigned value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return value < 1000 ? 0 : static_cast<std::uint16_t>(value);
}

std::uint16_t bpm10(std::string_view raw) {
    std::string text(core::text::trimWhiteSpace(raw));
    for (char& c : text) {
        if (c == ',') c = '.';
    }
    std::size_t start = 0;
    if (!text.empty() && text[0] == '+') start = 1;
    double value = 0;
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc{} || end != last || first == last) return 0;
    if (!std::isfinite(value) || value <= 0 || value >= 600) return 0;
    return static_cast<std::uint16_t>(clampRound(value * 10, 65535));
}

std::uint64_t parse(const Reader& reader, std::uint64_t offset, core::AudioMeta& meta) {
    const auto header = readHeader(reader, offset);
    if (!header || header->end <= offset) return offset;
    const std::uint8_t v = header->version;
    const std::uint64_t end = header->end;
    const std::uint64_t headerSize = v == 2 ? 6 : 10;
    std::uint64_t pos = offset + 10;

    if (v > 2 && (header->flags & 0x40)) {
        if (const auto ext = reader.read(pos, 4); ext && ext->size() == 4) {
            pos += v == 4 ? std::uint64_t{synchsafe(*ext, 0)} : std::uint64_t{u32be(*ext, 0)} + 4;
        }
    }

    std::string albumArtist;
    for (std::size_t frames = 0; frames < kMaxFrames && pos <= end && headerSize <= end - pos; ++frames) {
        const auto h = reader.read(pos, headerSize);
        if (!h || h->size() < headerSize || (*h)[0] == 0) break;
        const std::size_t idSize = v == 2 ? 3 : 4;
        const std::string_view id(reinterpret_cast<const char*>(h->data()), idSize);
        const std::uint64_t size = v == 2 ? u24be(*h, 3) : v == 3 ? u32be(*h, 4) : synchsafe(*h, 4);
        if (size == 0 || size > end - pos - headerSize) break;
        const std::uint64_t next = pos + headerSize + size;
        const auto which = field(id);
        if (size <= kMaxFrameBody && which) {
            if (const auto body = reader.read(pos + headerSize, static_cast<std::size_t>(size))) {
                std::string text = frameText(*body);
                switch (*which) {
                    case Field::artist:
                        if (meta.artist.empty()) meta.artist = std::move(text);
                        break;
                    case Field::albumArtist:
                        albumArtist = std::move(text);
                        break;
                    case Field::title:
                        meta.title = std::move(text);
                        break;
                    case Field::album:
                        meta.album = std::move(text);
                        break;
                    case Field::genre:
                        meta.genre = genreName(text);
                        break;
                    case Field::year:
                        if (meta.year == 0) meta.year = year(text);
                        break;
                    case Field::bpm:
                        meta.bpm10 = bpm10(text);
                        break;
                    case Field::key:
                        meta.key = std::move(text);
                        break;
                }
            }
        }
        pos = next;
    }
    if (meta.artist.empty()) meta.artist = std::move(albumArtist);
    return end;
}

}  // namespace quorvanta::audio::ID3
