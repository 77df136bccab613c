// The keeper rule of DuplicateFinder: which member of a group the user is advised to keep.
#include "audio/dupes/DuplicateFinder.h"

#include "QuorvantaCore/text/Grapheme.h"

#include <tuple>

namespace quorvanta::audio {

namespace {

// Higher is better: lossless files rank by sample rate and depth above every lossy file, which
// ranks by bit rate (44.1 kHz / 16 bit gives 101,644; 320 kbit/s gives 320).
std::int64_t quality(const DupMember& m) {
    if (!m.meta) return 0;
    const core::AudioMeta& a = *m.meta;
    if (a.lossless()) return a.sampleRate / 1000 + 100000 + std::int64_t{a.bits} * 100;
    return a.bitrateKbps;
}

// Higher is better: characters of the text tags, and a little for a year and a tempo.
std::int64_t tagRichness(const DupMember& m) {
    if (!m.meta) return 0;
    const core::AudioMeta& a = *m.meta;
    std::int64_t score = 0;
    for (const std::string* text : {&a.artist, &a.title, &a.album, &a.genre, &a.key})
        score += static_cast<std::int64_t>(core::text::graphemeCount(*text));
    if (a.year != 0) score += 4;
    if (a.bpm10 != 0) score += 3;
    return score;
}

// Ordered so that a greater key is a better keeper.
auto keeperKey(const DupMember& m) {
    return std::make_tuple(quality(m), tagRichness(m), -std::int64_t{m.mtime},
                           -static_cast<std::int64_t>(core::text::graphemeCount(m.path)));
}

}  // namespace

std::int64_t DuplicateFinder::best(const std::vector<DupMember>& members) {
    if (members.size() < 2) return 0;
    std::size_t bestIndex = 0;
    auto bestKey = keeperKey(members[0]);
    for (std::size_t i = 1; i < members.size(); ++i) {
        auto key = keeperKey(members[i]);
        if (key > bestKey) {
            bestIndex = i;
            bestKey = key;
        }
    }
    return static_cast<std::int64_t>(bestIndex);
}

}  // namespace quorvanta::audio
