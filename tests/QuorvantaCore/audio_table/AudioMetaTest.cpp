#include "QuorvantaCore/audio_table/AudioMeta.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

TEST(AudioMetaCodec, RawValuesLabelsAndLosslessness) {
    struct Case {
        AudioCodec codec;
        int raw;
        std::string label;
        bool lossless;
    };
    const std::vector<Case> cases = {
        {AudioCodec::unknown, 0, "", false},          {AudioCodec::mp3, 1, "MP3", false},
        {AudioCodec::aac, 2, "AAC", false},           {AudioCodec::alac, 3, "ALAC", true},
        {AudioCodec::flac, 4, "FLAC", true},          {AudioCodec::pcm, 5, "PCM", true},
        {AudioCodec::pcmFloat, 6, "PCM float", true}, {AudioCodec::aiff, 7, "AIFF", true},
        {AudioCodec::vorbis, 8, "Vorbis", false},     {AudioCodec::opus, 9, "Opus", false},
        {AudioCodec::wma, 10, "WMA", false},          {AudioCodec::other, 11, "?", false},
    };
    ASSERT_EQ(cases.size(), kAllAudioCodecs.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(kAllAudioCodecs[i], c.codec) << "allCases is in raw-value order";
        EXPECT_EQ(rawValue(c.codec), c.raw);
        EXPECT_EQ(label(c.codec), c.label) << c.raw;
        EXPECT_EQ(lossless(c.codec), c.lossless) << c.raw;
        EXPECT_EQ(audioCodecFromRawValue(static_cast<std::uint8_t>(c.raw)), c.codec);
    }
    for (int raw : {12, 13, 200, 255})
        EXPECT_FALSE(audioCodecFromRawValue(static_cast<std::uint8_t>(raw)).has_value()) << raw;
}

TEST(AudioMeta, EmptinessLooksOnlyAtDurationRateArtistAndTitle) {
    struct Case {
        const char* what;
        AudioMeta meta;
        bool empty;
    };
    auto with = [](auto set) {
        AudioMeta m;
        set(m);
        return m;
    };
    const std::vector<Case> cases = {
        {"nothing", AudioMeta{}, true},
        {"only a bit rate", with([](AudioMeta& m) { m.bitrateKbps = 320; }), true},
        {"only an album, a year and a codec", with([](AudioMeta& m) {
             m.album = "X";
             m.year = 1999;
             m.codec = AudioCodec::flac;
         }),
         true},
        {"only a title", with([](AudioMeta& m) { m.title = "Halo"; }), false},
        {"only an artist", with([](AudioMeta& m) { m.artist = "A"; }), false},
        {"only a duration", with([](AudioMeta& m) { m.durationMs = 1; }), false},
        {"only a sample rate", with([](AudioMeta& m) { m.sampleRate = 44100; }), false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.meta.isEmpty(), c.empty) << c.what;

    AudioMeta m;
    EXPECT_EQ(m.codec, AudioCodec::unknown);
    EXPECT_FALSE(m.vbr);
    m.codec = AudioCodec::aiff;
    EXPECT_TRUE(m.lossless());
}

TEST(AudioMeta, EqualityComparesEveryField) {
    const std::vector<void (*)(AudioMeta&)> changes = {
        [](AudioMeta& m) { m.durationMs = 1; }, [](AudioMeta& m) { m.bitrateKbps = 1; },
        [](AudioMeta& m) { m.sampleRate = 1; }, [](AudioMeta& m) { m.bits = 1; },
        [](AudioMeta& m) { m.channels = 1; },   [](AudioMeta& m) { m.codec = AudioCodec::mp3; },
        [](AudioMeta& m) { m.vbr = true; },     [](AudioMeta& m) { m.bpm10 = 1; },
        [](AudioMeta& m) { m.year = 1; },       [](AudioMeta& m) { m.artist = "a"; },
        [](AudioMeta& m) { m.title = "a"; },    [](AudioMeta& m) { m.album = "a"; },
        [](AudioMeta& m) { m.genre = "a"; },    [](AudioMeta& m) { m.key = "a"; },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        AudioMeta changed;
        changes[i](changed);
        EXPECT_NE(changed, AudioMeta{}) << "field " << i;
    }
}

TEST(AudioMetaCond, DefaultsSpanEverythingAndTextFieldsAreKnown) {
    using Field = AudioCond::Field;
    const AudioCond bpm(Field::bpm);
    EXPECT_EQ(bpm.lo, std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(bpm.hi, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(bpm.text, "");
    EXPECT_TRUE(bpm.flag);

    struct Case {
        Field field;
        std::string raw;
        bool isText;
    };
    const std::vector<Case> cases = {
        {Field::bitrate, "bitrate", false},
        {Field::bpm, "bpm", false},
        {Field::dur, "dur", false},
        {Field::year, "year", false},
        {Field::rate, "rate", false},
        {Field::bits, "bits", false},
        {Field::channels, "channels", false},
        {Field::lossless, "lossless", false},
        {Field::artist, "artist", true},
        {Field::title, "title", true},
        {Field::album, "album", true},
        {Field::genre, "genre", true},
        {Field::key, "key", true},
        {Field::codec, "codec", true},
    };
    ASSERT_EQ(cases.size(), kAllAudioFields.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(kAllAudioFields[i], c.field);
        EXPECT_EQ(rawValue(c.field), c.raw);
        EXPECT_EQ(AudioCond(c.field).isText(), c.isText) << c.raw;
        EXPECT_EQ(audioFieldFromRawValue(c.raw), c.field) << c.raw;
    }
    for (const char* text : {"duration", "", "DUR", "dur ", "bpm:"})
        EXPECT_FALSE(audioFieldFromRawValue(text).has_value()) << '"' << text << '"';

    AudioCond a(Field::artist), b(Field::artist);
    EXPECT_EQ(a, b);
    b.flag = false;
    EXPECT_NE(a, b);
    EXPECT_NE(AudioCond(Field::artist), AudioCond(Field::title));
}

}  // namespace
}  // namespace quorvanta::core
