#include "audio/parser/AudioParser.h"

#include "audio/formats/AIFF.h"
#include "audio/formats/FLAC.h"
#include "audio/formats/ID3.h"
#include "audio/formats/MP3.h"
#include "audio/formats/MP4.h"
#include "audio/formats/WAV.h"

namespace quorvanta::audio::AudioParser {

namespace {

bool asciiEqualsLower(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
        if (c != lower[i]) return false;
    }
    return true;
}

std::optional<core::AudioMeta> parseReader(const Reader& reader, std::string_view ext) {
    if (reader.size() < 12) return std::nullopt;
    const auto head = reader.read(0, 12);
    if (!head || head->size() < 12) return std::nullopt;
    core::AudioMeta meta;
    bool ok = false;
    switch (detect(*head, ext)) {
        case Container::none:
            return std::nullopt;
        case Container::flac:
            ok = FLAC::parse(reader, 0, meta);
            break;
        case Container::wav:
            ok = WAV::parse(reader, meta);
            break;
        case Container::aiff:
            ok = AIFF::parse(reader, meta);
            break;
        case Container::mp4:
            ok = MP4::parse(reader, meta);
            break;
        case Container::id3: {
            const std::uint64_t end = ID3::tagEnd(reader, 0);
            const auto magic = reader.read(end, 4);
            ok = magic && hasMagic(*magic, 0, "fLaC") ? FLAC::parse(reader, end, meta) : MP3::parse(reader, meta);
            break;
        }
        case Container::mpeg:
            ok = MP3::parse(reader, meta);
            break;
    }
    if (!ok) return std::nullopt;
    return meta;
}

}  // namespace

Container detect(ByteView head, std::string_view ext) {
    if (head.size() < 12) return Container::none;
    if (hasMagic(head, 0, "fLaC")) return Container::flac;
    if (hasMagic(head, 0, "RIFF") && hasMagic(head, 8, "WAVE")) return Container::wav;
    if (hasMagic(head, 0, "FORM") && (hasMagic(head, 8, "AIFF") || hasMagic(head, 8, "AIFC"))) return Container::aiff;
    if (hasMagic(head, 4, "ftyp")) return Container::mp4;
    if (hasMagic(head, 0, "ID3")) return Container::id3;
    const bool sync = head[0] == 0xFF && head[1] >= 0xE0;
    if (!sync && !asciiEqualsLower(ext, "mp3") && !asciiEqualsLower(ext, "mp2")) return Container::none;
    return Container::mpeg;
}

std::optional<core::AudioMeta> parse(const std::string& path, std::string_view ext) {
    const auto reader = Reader::open(path);
    if (!reader) return std::nullopt;
    return parseReader(*reader, ext);
}

std::optional<core::AudioMeta> parse(int fd, std::string_view ext) {
    const auto reader = Reader::fromDescriptor(fd);
    if (!reader) return std::nullopt;
    return parseReader(*reader, ext);
}

}  // namespace quorvanta::audio::AudioParser
