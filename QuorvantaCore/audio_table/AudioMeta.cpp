#include "QuorvantaCore/audio_table/AudioMeta.h"

namespace quorvanta::core {

std::optional<AudioCodec> audioCodecFromRawValue(std::uint8_t raw) {
    if (raw > rawValue(AudioCodec::other)) return std::nullopt;
    return static_cast<AudioCodec>(raw);
}

std::string_view label(AudioCodec codec) {
    switch (codec) {
        case AudioCodec::unknown:
            return "";
        case AudioCodec::mp3:
            return "MP3";
        case AudioCodec::aac:
            return "AAC";
        case AudioCodec::alac:
            return "ALAC";
        case AudioCodec::flac:
            return "FLAC";
        case AudioCodec::pcm:
            return "PCM";
        case AudioCodec::pcmFloat:
            return "PCM float";
        case AudioCodec::aiff:
            return "AIFF";
        case AudioCodec::vorbis:
            return "Vorbis";
        case AudioCodec::opus:
            return "Opus";
        case AudioCodec::wma:
            return "WMA";
        case AudioCodec::other:
            return "?";
    }
    return "?";
}

bool lossless(AudioCodec codec) {
    switch (codec) {
        case AudioCodec::alac:
        case AudioCodec::flac:
        case AudioCodec::pcm:
        case AudioCodec::pcmFloat:
        case AudioCodec::aiff:
            return true;
        default:
            return false;
    }
}

bool AudioCond::isText() const {
    switch (field) {
        case Field::artist:
        case Field::title:
        case Field::album:
        case Field::genre:
        case Field::key:
        case Field::codec:
            return true;
        default:
            return false;
    }
}

std::string_view rawValue(AudioCond::Field field) {
    static constexpr std::string_view names[] = {
        "bitrate",  "bpm",    "dur",   "year",  "rate",  "bits", "channels",
        "lossless", "artist", "title", "album", "genre", "key",  "codec",
    };
    return names[static_cast<std::size_t>(field)];
}

std::optional<AudioCond::Field> audioFieldFromRawValue(std::string_view text) {
    for (AudioCond::Field field : kAllAudioFields)
        if (rawValue(field) == text) return field;
    return std::nullopt;
}

}  // namespace quorvanta::core
