// Small builders for audio-table tests.
#pragma once

#include "QuorvantaCore/audio_table/AudioTable.h"

#include <string>
#include <utility>
#include <vector>

namespace quorvanta::test {

inline core::AudioMeta song(std::string artist, std::string title, std::uint16_t bpm10 = 0,
                            core::AudioCodec codec = core::AudioCodec::mp3) {
    core::AudioMeta m;
    m.durationMs = 200000;
    m.sampleRate = 44100;
    m.bitrateKbps = 320;
    m.codec = codec;
    m.bpm10 = bpm10;
    m.artist = std::move(artist);
    m.title = std::move(title);
    return m;
}

inline core::AudioTable::Row row(std::int64_t entry, core::AudioMeta meta, std::uint32_t mtime = 1000) {
    return {entry, mtime, std::move(meta)};
}

// The entries selected by fill over `entries` entries, ascending.
inline std::vector<std::uint32_t> selected(const core::AudioTable& table, const core::AudioCond& cond,
                                           std::size_t entries = 1024) {
    std::vector<std::uint8_t> mask((entries + 7) / 8, 0);
    table.fill(cond, mask.data(), entries);
    std::vector<std::uint32_t> out;
    for (std::uint32_t e = 0; e < entries; ++e)
        if (mask[e / 8] & (1u << (e % 8))) out.push_back(e);
    return out;
}

}  // namespace quorvanta::test
