// The duplicate finder's result model: the stages a run goes through (`DupStage`), the kinds of
// group (`DupKind`), one file in a group (`DupMember`) and one group (`DupGroup`). Plain values,
// produced by DuplicateFinder and read by the exports, the tool and the duplicate window.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::audio {

// The raw values 1-5 are what the tool's stage list uses: never renumber.
enum class DupStage : int {
    size = 1,
    quickHash = 2,
    fullHash = 3,
    sameSong = 4,
    fingerprint = 5,
};

inline constexpr std::array<DupStage, 5> kAllDupStages = {
    DupStage::size, DupStage::quickHash, DupStage::fullHash, DupStage::sameSong, DupStage::fingerprint,
};

constexpr int rawValue(DupStage stage) { return static_cast<int>(stage); }
// The stage of a raw value 1-5; none for any other value.
std::optional<DupStage> dupStageFromRawValue(std::int64_t raw);
// The stage's name for the user, in the interface language.
std::string title(DupStage stage);

enum class DupKind { identical, sameSong };

// "identical" or "sameSong".
std::string_view rawValue(DupKind kind);
// The kind named exactly by text; none for any other text.
std::optional<DupKind> dupKindFromRawValue(std::string_view text);

struct DupMember {
    std::int64_t vol = 0;    // position of the member's volume in the finder's list
    std::int64_t entry = 0;  // entry index in that volume index
    std::string path;
    std::uint64_t size = 0;               // as recorded in the index
    std::uint32_t mtime = 0;              // Unix seconds, from the index
    std::optional<core::AudioMeta> meta;  // the volume's audio facts, when it has a row

    // "vol:entry", such as "0:1234".
    std::string id() const;
};

struct DupGroup {
    std::int64_t id = 0;  // from 1 within one run's result
    DupKind kind = DupKind::identical;
    std::vector<DupMember> members;  // at least two
    std::int64_t keep = 0;           // index of the suggested keeper in members
    std::optional<bool> confirmed;   // none: the fingerprint stage did not look at the group

    // The bytes of every member except the keeper.
    std::uint64_t surplusBytes() const;
};

}  // namespace quorvanta::audio
