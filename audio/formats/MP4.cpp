#include "audio/formats/MP4.h"

#include "audio/formats/ID3.h"

#include <algorithm>
#include <optional>

namespace quorvanta::audio::MP4 {

namespace {

constexpr int kMaxTopBoxes = 64;
constexpr std::uint64_t kMaxMoov = 16u << 20;
const std::string kCopyright = "\xC2\xA9";  // © as the four-character types spell it

// The box header at pos in a range ending at `to`: payload start and end, or none when invalid.
// Sizes are compared with what is left (size > to - pos), never added to pos.
struct BoxHeader {
    std::string type;
    std::uint64_t start, end;
};
std::optional<BoxHeader> boxHeader(ByteView h, std::uint64_t pos, std::uint64_t to) {
    if (pos > to || to - pos < 8) return std::nullopt;
    std::uint64_t size = u32be(h, 0);
    std::uint64_t header = 8;
    if (size == 0) {
        size = to - pos;
    } else if (size == 1) {
        if (to - pos < 16) return std::nullopt;
        size = u64be(h, 8);
        header = 16;
        if (size < 16) return std::nullopt;
    } else if (size < 8) {
        return std::nullopt;
    }
    if (size > to - pos) return std::nullopt;
    return BoxHeader{fourCC(h, 4), pos + header, pos + size};
}

std::optional<Atom> first(const std::vector<Atom>& list, std::string_view type) {
    for (const Atom& a : list) {
        if (a.type == type) return a;
    }
    return std::nullopt;
}

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return text;
}

// Reads bits from a byte range; a read past its end fails and leaves the caller's fields alone.
class BitReader {
public:
    explicit BitReader(ByteView bytes) : bytes_(bytes) {}
    std::optional<std::uint32_t> read(int count) {
        if (count > static_cast<int>(bytes_.size() * 8 - bit_)) return std::nullopt;
        std::uint32_t v = 0;
        for (int i = 0; i < count; ++i, ++bit_) v = v << 1 | ((bytes_[bit_ / 8] >> (7 - bit_ % 8)) & 1u);
        return v;
    }

private:
    ByteView bytes_;
    std::size_t bit_ = 0;
};

void audioSpecificConfig(ByteView asc, core::AudioMeta& meta) {
    static constexpr std::uint32_t kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                               22050, 16000, 12000, 11025, 8000,  7350};
    BitReader bits(asc);
    const auto type = bits.read(5);
    if (!type || (*type == 31 && !bits.read(6))) return;
    const auto index = bits.read(4);
    if (!index) return;
    if (*index == 15 && !bits.read(24)) return;
    const auto channels = bits.read(4);
    if (*index <= 12) meta.sampleRate = kRates[*index];
    if (!channels) return;
    if (*channels >= 1 && *channels <= 6) meta.channels = static_cast<std::uint8_t>(*channels);
    if (*channels == 7) meta.channels = 8;
}

// A descriptor length of 1 to 4 bytes of 7 bits at pos, moving pos past it.
std::optional<std::uint64_t> descriptorLength(ByteView b, std::uint64_t& pos, std::uint64_t end) {
    std::uint64_t length = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= end) return std::nullopt;
        const std::uint8_t c = b[pos++];
        length = length << 7 | (c & 0x7Fu);
        if (!(c & 0x80)) return length;
    }
    return length;
}

// Walks the descriptors in b[pos, end), each bounded by the one enclosing it.
void descriptors(ByteView b, std::uint64_t pos, std::uint64_t end, core::AudioMeta& meta, bool& mpegAudio,
                 int depth = 0) {
    while (pos < end) {
        const std::uint8_t tag = b[pos++];
        const auto length = descriptorLength(b, pos, end);
        if (!length || *length > end - pos) return;
        const std::uint64_t bodyEnd = pos + *length;
        if (tag == 3 && depth < 4) {
            if (*length >= 3) descriptors(b, pos + 3, bodyEnd, meta, mpegAudio, depth + 1);
        } else if (tag == 4 && *length >= 13) {
            const std::uint8_t objectType = b[pos];
            meta.bitrateKbps =
                static_cast<std::uint16_t>(std::min<std::uint32_t>(u32be(b, pos + 9) / 1000, kMaxBitrateKbps));
            if (objectType == 0x69 || objectType == 0x6B) mpegAudio = true;
            std::uint64_t at = pos + 13;
            if (at < bodyEnd && b[at] == 5) {
                ++at;
                const auto ascLength = descriptorLength(b, at, bodyEnd);
                if (ascLength && *ascLength > 1 && *ascLength <= bodyEnd - at) {
                    audioSpecificConfig(b.subspan(at, *ascLength), meta);
                }
            }
        }
        pos = bodyEnd;
    }
}

void sampleEntry(ByteView b, const Atom& stsd, core::AudioMeta& meta) {
    const std::uint64_t entry = stsd.start + 8;
    if (entry > stsd.end || stsd.end - entry < 36) return;
    const std::uint64_t entryEnd =
        std::min<std::uint64_t>(stsd.end, entry + std::max<std::uint32_t>(u32be(b, entry), 36));
    const std::string format = fourCC(b, entry + 4);
    meta.channels = static_cast<std::uint8_t>(std::min<std::uint16_t>(u16be(b, entry + 24), 255));
    meta.bits = static_cast<std::uint8_t>(std::min<std::uint16_t>(u16be(b, entry + 26), 255));
    meta.sampleRate = u32be(b, entry + 32) >> 16;
    bool mpegAudio = false;
    for (const Atom& child : atoms(b, entry + 36, entryEnd)) {
        if (child.type == "esds") {
            descriptors(b, child.start + 4, child.end, meta, mpegAudio);
        } else if (child.type == "alac" && child.end - child.start >= 28) {
            const std::uint64_t p = child.start;
            meta.bits = b[p + 9];
            meta.channels = b[p + 13];
            meta.bitrateKbps =
                static_cast<std::uint16_t>(std::min<std::uint32_t>(u32be(b, p + 20) / 1000, kMaxBitrateKbps));
            meta.sampleRate = u32be(b, p + 24);
        }
    }
    if (format == "alac") {
        meta.codec = core::AudioCodec::alac;
    } else if (mpegAudio) {
        meta.codec = core::AudioCodec::mp3;
    } else if (format == "mp4a") {
        meta.codec = core::AudioCodec::aac;
    } else {
        meta.codec = core::AudioCodec::other;
    }
}

// The value of an item's first "data" child: its type and bytes.
struct ItemValue {
    std::uint32_t type;
    ByteView bytes;
};
std::optional<ItemValue> itemValue(ByteView b, const Atom& item) {
    const auto data = first(atoms(b, item.start, item.end), "data");
    if (!data || data->end - data->start < 8) return std::nullopt;
    return ItemValue{u32be(b, data->start) & 0xFFFFFF, b.subspan(data->start + 8, data->end - data->start - 8)};
}

void item(ByteView b, const Atom& box, core::AudioMeta& meta) {
    const std::string& t = box.type;
    if (t == "----") {
        const auto children = atoms(b, box.start, box.end);
        const auto name = first(children, "name");
        const auto value = itemValue(b, box);
        if (!name || !value || name->end - name->start < 4) return;
        const std::string n = lowerAscii(decodeText(b.subspan(name->start + 4, name->end - name->start - 4)));
        if (n == "initialkey" || n == "key" || n == "initial key") {
            meta.key = decodeText(value->bytes);
        } else if (n == "bpm" && meta.bpm10 == 0) {
            meta.bpm10 = ID3::bpm10(decodeText(value->bytes));
        }
        return;
    }
    const auto value = itemValue(b, box);
    if (!value) return;
    if (t == kCopyright + "ART") {
        meta.artist = decodeText(value->bytes);
    } else if (t == "aART") {
        if (meta.artist.empty()) meta.artist = decodeText(value->bytes);
    } else if (t == kCopyright + "nam") {
        meta.title = decodeText(value->bytes);
    } else if (t == kCopyright + "alb") {
        meta.album = decodeText(value->bytes);
    } else if (t == kCopyright + "gen") {
        meta.genre = decodeText(value->bytes);
    } else if (t == "gnre") {
        const int n = u16be(value->bytes, 0) - 1;
        if (value->bytes.size() >= 2 && n >= 0 && n < static_cast<int>(ID3::kGenres.size()))
            meta.genre = std::string(ID3::kGenres[n]);
    } else if (t == kCopyright + "day") {
        meta.year = ID3::year(decodeText(value->bytes));
    } else if (t == "tmpo") {
        if (value->type == 21 && value->bytes.size() >= 2) {
            meta.bpm10 = static_cast<std::uint16_t>(std::min<std::uint32_t>(u16be(value->bytes, 0) * 10u, 65535));
        }
    }
}

}  // namespace

std::vector<Atom> atoms(ByteView bytes, std::uint64_t from, std::uint64_t to) {
    std::vector<Atom> out;
    to = std::min<std::uint64_t>(to, bytes.size());
    for (std::uint64_t pos = from; pos <= to && to - pos >= 8;) {
        const ByteView h = bytes.subspan(pos, std::min<std::uint64_t>(16, to - pos));
        const auto box = boxHeader(h, pos, to);
        if (!box) break;
        out.push_back(Atom{box->type, box->start, box->end});
        pos = box->end;
    }
    return out;
}

void track(ByteView moov, const Atom& box, core::AudioMeta& meta) {
    const auto mdia = first(atoms(moov, box.start, box.end), "mdia");
    if (!mdia) return;
    const auto mdiaChildren = atoms(moov, mdia->start, mdia->end);
    const auto hdlr = first(mdiaChildren, "hdlr");
    if (!hdlr || hdlr->end - hdlr->start < 12 || !hasMagic(moov, hdlr->start + 8, "soun")) return;
    const auto minf = first(mdiaChildren, "minf");
    if (!minf) return;
    const auto stbl = first(atoms(moov, minf->start, minf->end), "stbl");
    if (!stbl) return;
    const auto stsd = first(atoms(moov, stbl->start, stbl->end), "stsd");
    if (stsd) sampleEntry(moov, *stsd, meta);
}

void udta(ByteView moov, const Atom& box, core::AudioMeta& meta) {
    const auto metaBox = first(atoms(moov, box.start, box.end), "meta");
    if (!metaBox || metaBox->end - metaBox->start < 4) return;
    const auto ilst = first(atoms(moov, metaBox->start + 4, metaBox->end), "ilst");
    if (!ilst) return;
    for (const Atom& entry : atoms(moov, ilst->start, ilst->end)) item(moov, entry, meta);
}

bool parse(const Reader& reader, core::AudioMeta& meta) {
    std::optional<Bytes> moov;
    std::uint64_t mdatBytes = 0;
    std::uint64_t pos = 0;
    const std::uint64_t size = reader.size();
    for (int n = 0; n < kMaxTopBoxes && pos <= size && size - pos >= 8; ++n) {
        const auto h = reader.read(pos, 16);
        if (!h) break;
        const auto box = boxHeader(*h, pos, size);
        if (!box) break;
        const std::uint64_t payload = box->end - box->start;
        if (box->type == "moov" && payload <= kMaxMoov) {
            if (auto bytes = reader.read(box->start, static_cast<std::size_t>(payload))) {
                moov = std::move(bytes);
            } else {
                moov = Bytes{};
            }
        } else if (box->type == "mdat") {
            mdatBytes += payload;
        }
        pos = box->end;
    }
    if (!moov) return false;

    const ByteView b = *moov;
    std::uint64_t timescale = 0, duration = 0;
    for (const Atom& child : atoms(b, 0, b.size())) {
        if (child.type == "mvhd") {
            if (child.start < b.size() && b[child.start] == 1) {
                timescale = u32be(b, child.start + 20);
                duration = u64be(b, child.start + 24);
            } else {
                timescale = u32be(b, child.start + 12);
                duration = u32be(b, child.start + 16);
            }
        } else if (child.type == "trak") {
            track(b, child, meta);
        } else if (child.type == "udta") {
            udta(b, child, meta);
        }
    }
    if (meta.sampleRate == 0 && meta.codec == core::AudioCodec::unknown) return false;
    if (timescale > 0) {
        meta.durationMs = static_cast<std::uint32_t>(
            clampTruncate(static_cast<double>(duration) / static_cast<double>(timescale) * 1000, kMaxDurationMs));
    }
    if (meta.bitrateKbps == 0 && meta.durationMs > 0 && mdatBytes > 0) {
        meta.bitrateKbps = static_cast<std::uint16_t>(
            clampTruncate(static_cast<double>(mdatBytes) * 8 / (meta.durationMs / 1000.0) / 1000, kMaxBitrateKbps));
    }
    return meta.durationMs > 0;
}

}  // namespace quorvanta::audio::MP4
