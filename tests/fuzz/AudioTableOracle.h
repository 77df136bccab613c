// What must hold for any bytes given to AudioTable::deserialize, shared by the libFuzzer harness
// (fuzz_audio_table.cpp) and the seeded mutation run of the unit tests. The store id is taken
// from the image itself, so mutations get past that check.
#pragma once

#include "QuorvantaCore/audio_table/AudioTable.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorvanta::test {

// Empty when the image is handled soundly, else what went wrong.
inline std::string audioImageProblem(std::span<const std::uint8_t> image) {
    using core::AudioTable;
    std::uint64_t storeID = 0;
    for (std::size_t i = 0; i < 8 && 8 + i < image.size(); ++i)
        storeID |= static_cast<std::uint64_t>(image[8 + i]) << (8 * i);

    const auto table = AudioTable::deserialize(image, storeID);
    if (AudioTable::deserialize(image, storeID ^ 1)) return "accepted under another store id";
    if (!table) return {};

    if (table->serialize(storeID) != std::vector<std::uint8_t>(image.begin(), image.end()))
        return "an accepted image does not serialise to the same bytes";

    const auto cols = table->snapshot();
    const std::string& pool = cols->pool;
    for (std::size_t r = 0; r < cols->count(); ++r) {
        if (r > 0 && cols->entry[r] <= cols->entry[r - 1]) return "entries not increasing";
        const core::AudioMeta meta = AudioTable::meta(*cols, r);
        const std::pair<std::uint32_t, const std::string*> texts[] = {
            {cols->artist[r], &meta.artist}, {cols->title[r], &meta.title}, {cols->album[r], &meta.album},
            {cols->genre[r], &meta.genre},   {cols->key[r], &meta.key},
        };
        for (const auto& [offset, text] : texts) {
            if (offset == 0) {
                if (!text->empty()) return "a text for offset 0";
                continue;
            }
            // The text and the folded copy after it both end inside the pool.
            const std::size_t end = std::size_t{offset} + text->size();
            if (end >= pool.size() || pool[end] != '\0' || pool.compare(offset, text->size(), *text) != 0)
                return "row " + std::to_string(r) + ": text at " + std::to_string(offset) + " is not the pool's";
            if (pool.find('\0', end + 1) == std::string::npos)
                return "row " + std::to_string(r) + ": folded copy runs past the pool";
        }
    }
    if (cols->count() > 0 && table->meta(cols->entry.back()) != AudioTable::meta(*cols, cols->count() - 1))
        return "meta(entry) differs from meta(cols, row)";

    // Every filter over a bounded mask: only entries with a row may be marked.
    const std::size_t entries = 1024;
    for (core::AudioCond::Field field : core::kAllAudioFields) {
        for (const char* needle : {"", "\xC3\xA9"}) {  // "é" folds to "e"
            core::AudioCond cond(field);
            cond.text = needle;
            cond.flag = needle[0] != 0;
            std::vector<std::uint8_t> mask(entries / 8, 0);
            table->fill(cond, mask.data(), entries);
            for (std::uint32_t byte = 0; byte < mask.size(); ++byte) {
                for (std::uint32_t bit = 0; mask[byte] != 0 && bit < 8; ++bit) {
                    const std::uint32_t e = byte * 8 + bit;
                    if ((mask[byte] & (1u << bit)) && !AudioTable::row(e, *cols))
                        return "fill marked entry " + std::to_string(e) + " without a row";
                }
            }
        }
    }

    // The rebuilt interner is used: a new row with the first row's artist reuses its offset.
    if (cols->count() > 0 && !AudioTable::meta(*cols, 0).artist.empty()) {
        const std::size_t before = table->snapshot()->pool.size();
        AudioTable::Row extra;
        extra.entry = static_cast<std::int64_t>(cols->entry.back()) + 1;
        extra.meta.artist = AudioTable::meta(*cols, 0).artist;
        table->upsert({extra});
        const auto after = table->snapshot();
        if (extra.entry <= 0xFFFFFFFF && (after->pool.size() != before || after->artist.back() == 0 ||
                                          AudioTable::meta(*after, after->count() - 1).artist != extra.meta.artist))
            return "a stored artist was not shared after loading";
    }
    return {};
}

}  // namespace quorvanta::test
