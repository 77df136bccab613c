// The audio value types: `AudioCodec`, the codecs the system knows; `AudioMeta`, the audio facts
// of one file as the readers take them from its stream headers and tags; `AudioCond`, one audio
// filter of the search language (`bpm:`, `artist:`, `codec:` ...). The readers produce AudioMeta,
// the audio table stores and evaluates them, the query parser builds AudioCond. Plain values.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::core {

// Raw values are stored in the audio table and its file: never renumber.
enum class AudioCodec : std::uint8_t {
    unknown = 0,
    mp3 = 1,
    aac = 2,
    alac = 3,
    flac = 4,
    pcm = 5,
    pcmFloat = 6,  // "float"
    aiff = 7,
    vorbis = 8,
    opus = 9,
    wma = 10,
    other = 11,
};

inline constexpr std::array<AudioCodec, 12> kAllAudioCodecs = {
    AudioCodec::unknown,  AudioCodec::mp3,  AudioCodec::aac,    AudioCodec::alac, AudioCodec::flac, AudioCodec::pcm,
    AudioCodec::pcmFloat, AudioCodec::aiff, AudioCodec::vorbis, AudioCodec::opus, AudioCodec::wma,  AudioCodec::other,
};

constexpr std::uint8_t rawValue(AudioCodec codec) { return static_cast<std::uint8_t>(codec); }
// The codec of a raw value 0-11; none for 12-255.
std::optional<AudioCodec> audioCodecFromRawValue(std::uint8_t raw);
// The display label: empty for `unknown`, "PCM float" for `pcmFloat`, "?" for `other`.
std::string_view label(AudioCodec codec);
// True exactly for ALAC, FLAC, PCM, PCM float and AIFF.
bool lossless(AudioCodec codec);

// Audio facts of one file. Every number uses 0 and every text the empty text for "missing".
struct AudioMeta {
    std::uint32_t durationMs = 0;
    std::uint16_t bitrateKbps = 0;  // kbit/s (1000 bit/s)
    std::uint32_t sampleRate = 0;   // Hz
    std::uint8_t bits = 0;          // bits per sample
    std::uint8_t channels = 0;
    AudioCodec codec = AudioCodec::unknown;
    bool vbr = false;
    std::uint16_t bpm10 = 0;  // tempo times ten: 128.5 BPM is 1285
    std::uint16_t year = 0;
    std::string artist;
    std::string title;
    std::string album;
    std::string genre;
    std::string key;

    // Empty when duration, sample rate, artist and title are all missing; the other fields are
    // not looked at (a record holding only a bit rate is empty).
    bool isEmpty() const { return durationMs == 0 && sampleRate == 0 && artist.empty() && title.empty(); }
    bool lossless() const { return core::lossless(codec); }
    bool operator==(const AudioMeta&) const = default;
};

// One audio filter: which fact, an inclusive range in the fact's unit, a text (text fields and
// `codec`) and a flag (`lossless`: true asks for lossless files, false for lossy ones).
struct AudioCond {
    // Raw values are the case names ("dur", not "duration": the parser maps its aliases).
    enum class Field : std::uint8_t {
        bitrate,
        bpm,
        dur,
        year,
        rate,
        bits,
        channels,
        lossless,
        artist,
        title,
        album,
        genre,
        key,
        codec,
    };

    Field field;
    std::int64_t lo = std::numeric_limits<std::int64_t>::min();
    std::int64_t hi = std::numeric_limits<std::int64_t>::max();
    std::string text;
    bool flag = true;

    explicit AudioCond(Field f) : field(f) {}
    // True for artist, title, album, genre, key and codec.
    bool isText() const;
    bool operator==(const AudioCond&) const = default;
};

inline constexpr std::array<AudioCond::Field, 14> kAllAudioFields = {
    AudioCond::Field::bitrate, AudioCond::Field::bpm,   AudioCond::Field::dur,      AudioCond::Field::year,
    AudioCond::Field::rate,    AudioCond::Field::bits,  AudioCond::Field::channels, AudioCond::Field::lossless,
    AudioCond::Field::artist,  AudioCond::Field::title, AudioCond::Field::album,    AudioCond::Field::genre,
    AudioCond::Field::key,     AudioCond::Field::codec,
};

std::string_view rawValue(AudioCond::Field field);
// The field named exactly by text; none for any other text.
std::optional<AudioCond::Field> audioFieldFromRawValue(std::string_view text);

}  // namespace quorvanta::core
