#include "tests/audio/ContainerBytes.h"

#include <cmath>

namespace quorvanta::audio::test {

Bytes flacBlock(int type, const Bytes& body, bool last) {
    Bytes out{static_cast<std::uint8_t>((last ? 0x80 : 0) | type)};
    putBE(out, body.size(), 3);
    put(out, body);
    return out;
}

Bytes streamInfo(std::uint32_t rate, int channels, int bits, std::uint64_t samples) {
    Bytes b(34, 0);
    b[0] = 0x10;  // minimum and maximum block size 4096
    b[2] = 0x10;
    b[10] = static_cast<std::uint8_t>(rate >> 12);
    b[11] = static_cast<std::uint8_t>(rate >> 4);
    b[12] = static_cast<std::uint8_t>((rate & 0xF) << 4 | (channels - 1) << 1 | ((bits - 1) >> 4));
    b[13] = static_cast<std::uint8_t>(((bits - 1) & 0xF) << 4 | (samples >> 32 & 0xF));
    for (int i = 0; i < 4; ++i) b[14 + i] = static_cast<std::uint8_t>(samples >> (24 - 8 * i));
    return b;
}

Bytes vorbisComment(std::string_view vendor, const std::vector<std::string>& comments) {
    Bytes b;
    putLE(b, vendor.size(), 4);
    put(b, vendor);
    putLE(b, comments.size(), 4);
    for (const auto& c : comments) {
        putLE(b, c.size(), 4);
        put(b, c);
    }
    return b;
}

Bytes riffChunk(std::string_view id, const Bytes& body, std::optional<std::uint32_t> sizeOverride) {
    Bytes out;
    put(out, id);
    putLE(out, sizeOverride.value_or(static_cast<std::uint32_t>(body.size())), 4);
    put(out, body);
    if (body.size() % 2) out.push_back(0);
    return out;
}

Bytes wavFile(const std::vector<Bytes>& chunks) {
    const Bytes all = cat(chunks);
    Bytes out;
    put(out, "RIFF");
    putLE(out, all.size() + 4, 4);
    put(out, "WAVE");
    put(out, all);
    return out;
}

Bytes fmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
              std::optional<std::uint16_t> subFormat) {
    Bytes b;
    putLE(b, subFormat ? 0xFFFE : tag, 2);
    putLE(b, channels, 2);
    putLE(b, rate, 4);
    const std::uint32_t align = channels * ((bits + 7) / 8);
    putLE(b, rate * align, 4);
    putLE(b, align, 2);
    putLE(b, bits, 2);
    if (subFormat) {
        putLE(b, 22, 2);    // extension size
        putLE(b, bits, 2);  // valid bits
        putLE(b, 0x3F, 4);  // channel mask
        putLE(b, *subFormat, 2);
        put(b, bytesOf({0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}));
    }
    return b;
}

Bytes infoList(const std::vector<std::pair<std::string, std::string>>& entries) {
    Bytes b;
    put(b, "INFO");
    for (const auto& [id, text] : entries) put(b, riffChunk(id, bytesOf(text)));
    return riffChunk("LIST", b);
}

Bytes aiffChunk(std::string_view id, const Bytes& body) {
    Bytes out;
    put(out, id);
    putBE(out, body.size(), 4);
    put(out, body);
    if (body.size() % 2) out.push_back(0);
    return out;
}

Bytes aiffFile(std::string_view form, const std::vector<Bytes>& chunks) {
    const Bytes all = cat(chunks);
    Bytes out;
    put(out, "FORM");
    putBE(out, all.size() + 4, 4);
    put(out, form);
    put(out, all);
    return out;
}

Bytes extended80(double value) {
    Bytes b;
    if (value == 0) return Bytes(10, 0);
    int exponent = 0;
    const double fraction = std::frexp(value, &exponent);  // value = fraction * 2^exponent, 0.5 <= fraction < 1
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 64));
    putBE(b, static_cast<std::uint16_t>(exponent - 1 + 16383), 2);
    putBE(b, mantissa, 8);
    return b;
}

Bytes commBody(std::uint16_t channels, std::uint32_t frames, std::uint16_t bits, const Bytes& rate80,
               std::string_view compression) {
    Bytes b;
    putBE(b, channels, 2);
    putBE(b, frames, 4);
    putBE(b, bits, 2);
    put(b, rate80);
    if (!compression.empty()) {
        put(b, compression);
        b.push_back(0);  // empty Pascal-string name, padded
        b.push_back(0);
    }
    return b;
}

Bytes box(std::string_view type, const Bytes& payload) {
    Bytes out;
    putBE(out, payload.size() + 8, 4);
    put(out, type);
    put(out, payload);
    return out;
}

Bytes box64(std::string_view type, const Bytes& payload) {
    Bytes out;
    putBE(out, 1, 4);
    put(out, type);
    putBE(out, payload.size() + 16, 8);
    put(out, payload);
    return out;
}

Bytes fullBox(std::string_view type, std::uint8_t version, const Bytes& payload) {
    Bytes p{version, 0, 0, 0};
    put(p, payload);
    return box(type, p);
}

Bytes cat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const auto& p : parts) put(out, p);
    return out;
}

Bytes mp4SampleEntry(std::string_view format, std::uint16_t channels, std::uint16_t bits, std::uint32_t rate,
                     const Bytes& children) {
    Bytes p(6, 0);
    putBE(p, 1, 2);  // data reference index
    putBE(p, 0, 8);  // version, revision, vendor
    putBE(p, channels, 2);
    putBE(p, bits, 2);
    putBE(p, 0, 4);  // compression id, packet size
    putBE(p, std::uint64_t{rate} << 16, 4);
    put(p, children);
    return box(format, p);
}

Bytes ascBytes(int objectType, int frequencyIndex, int channelConfig) {
    const std::uint16_t v = static_cast<std::uint16_t>(objectType << 11 | frequencyIndex << 7 | channelConfig << 3);
    Bytes b;
    putBE(b, v, 2);
    return b;
}

Bytes esds(std::uint8_t objectType, std::uint32_t avgBitrate, std::optional<Bytes> asc) {
    Bytes config{objectType, 0x15};
    putBE(config, 0, 3);           // buffer size
    putBE(config, avgBitrate, 4);  // maximum bit rate
    putBE(config, avgBitrate, 4);  // average bit rate
    if (asc) {
        config.push_back(5);
        config.push_back(static_cast<std::uint8_t>(asc->size()));
        put(config, *asc);
    }
    Bytes es{0, 1, 0};  // ES id, flags
    es.push_back(4);
    es.push_back(static_cast<std::uint8_t>(config.size()));
    put(es, config);
    put(es, bytesOf({6, 1, 2}));  // SL configuration
    Bytes payload{3};
    // A four-byte length, as many muxers write it.
    put(payload, bytesOf({0x80, 0x80, 0x80, static_cast<std::uint8_t>(es.size())}));
    put(payload, es);
    return fullBox("esds", 0, payload);
}

Bytes mp4Track(std::string_view handler, const Bytes& sampleEntry) {
    Bytes hdlrPayload(4, 0);
    put(hdlrPayload, handler);
    hdlrPayload.resize(hdlrPayload.size() + 13, 0);
    Bytes stsdPayload;
    putBE(stsdPayload, 1, 4);
    put(stsdPayload, sampleEntry);
    const Bytes stbl = box("stbl", fullBox("stsd", 0, stsdPayload));
    const Bytes minf = box("minf", stbl);
    return box("trak", box("mdia", cat({fullBox("hdlr", 0, hdlrPayload), minf})));
}

Bytes mvhd(std::uint32_t timescale, std::uint64_t duration, int version) {
    Bytes p;
    if (version == 1) {
        putBE(p, 0, 8);  // creation and modification times
        putBE(p, 0, 8);
        putBE(p, timescale, 4);
        putBE(p, duration, 8);
    } else {
        putBE(p, 0, 8);
        putBE(p, timescale, 4);
        putBE(p, duration, 4);
    }
    p.resize(p.size() + 80, 0);
    return fullBox("mvhd", static_cast<std::uint8_t>(version), p);
}

Bytes ilstItem(std::string_view type, std::uint32_t dataType, const Bytes& value) {
    Bytes data;
    putBE(data, dataType, 4);
    putBE(data, 0, 4);
    put(data, value);
    return box(type, box("data", data));
}

Bytes freeformItem(std::string_view name, const Bytes& value) {
    Bytes mean(4, 0);
    put(mean, "com.apple.iTunes");
    Bytes nameP(4, 0);
    put(nameP, name);
    Bytes data;
    putBE(data, 1, 4);
    putBE(data, 0, 4);
    put(data, value);
    return box("----", cat({box("mean", mean), box("name", nameP), box("data", data)}));
}

Bytes mp4Udta(const std::vector<Bytes>& items) { return box("udta", fullBox("meta", 0, box("ilst", cat(items)))); }

Bytes ftyp() {
    Bytes p;
    put(p, "M4A ");
    putBE(p, 0, 4);
    put(p, "M4A isommp42");
    return box("ftyp", p);
}

}  // namespace quorvanta::audio::test
