#include "audio/dupes/DupModel.h"

#include "QuorvantaCore/lang/Tr.h"

namespace quorvanta::audio {

std::optional<DupStage> dupStageFromRawValue(std::int64_t raw) {
    if (raw < rawValue(DupStage::size) || raw > rawValue(DupStage::fingerprint)) return std::nullopt;
    return static_cast<DupStage>(raw);
}

std::string title(DupStage stage) {
    switch (stage) {
        case DupStage::size:
            return core::tr("Same size");
        case DupStage::quickHash:
            return core::tr("Hash of start + end (64 KB)");
        case DupStage::fullHash:
            return core::tr("Full hash (BLAKE3)");
        case DupStage::sameSong:
            return core::tr("Same song, different format");
        case DupStage::fingerprint:
            return core::tr("Acoustic fingerprint (fpcalc)");
    }
    return {};
}

std::string_view rawValue(DupKind kind) { return kind == DupKind::identical ? "identical" : "sameSong"; }

std::optional<DupKind> dupKindFromRawValue(std::string_view text) {
    if (text == "identical") return DupKind::identical;
    if (text == "sameSong") return DupKind::sameSong;
    return std::nullopt;
}

std::string DupMember::id() const { return std::to_string(vol) + ":" + std::to_string(entry); }

std::uint64_t DupGroup::surplusBytes() const {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (static_cast<std::int64_t>(i) != keep) sum += members[i].size;
    }
    return sum;
}

}  // namespace quorvanta::audio
