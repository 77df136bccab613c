#include "QuorvantaApp/model/sources/SourceRules.h"

#include "QuorvantaCore/json/UTF8Repair.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/query/ExtPatterns.h"
#include "QuorvantaCore/util/AppInfo.h"
#include "platform/fs/PathText.h"

#include <algorithm>

namespace quorvanta::app {

using core::ExtPatterns;

std::optional<std::string> rejectedPatternsLine(const std::vector<std::string>& rejected, PatternField field) {
    if (rejected.empty()) return std::nullopt;
    std::string entries;
    for (const auto& entry : rejected) {
        if (!entries.empty()) entries += ' ';
        entries += entry;
    }
    switch (field) {
        case PatternField::includeOnly:
            return core::tr("Not understood (only *.extension, separated by semicolons): %@", entries);
        case PatternField::category:
            return core::tr("Not understood: %@", entries);
    }
    return std::nullopt;
}

PatternFeedback includeOnlyFeedback(std::string_view text) {
    const auto parsed = ExtPatterns::parse(text);
    if (auto line = rejectedPatternsLine(parsed.rejected, PatternField::includeOnly)) return {std::move(*line), true};
    if (!parsed.exts.empty())
        return {core::tr("Only %lld file types are indexed; folders always. Applies to all drives and triggers a new "
                         "scan.",
                         static_cast<long long>(parsed.exts.size())),
                false};
    return {core::tr("All files are indexed."), false};
}

bool canIndex(const SourceDraft& draft) {
    return std::any_of(draft.cfg->begin(), draft.cfg->end(), [](const auto& entry) {
        const SourceConfig& config = entry.second;
        return config.enabled && (config.whole || !config.folders.empty());
    });
}

bool canApply(const SourceDraft& draft) {
    return draft.changed() && ExtPatterns::parse(*draft.includeOnly).rejected.empty();
}

std::string applyHint(const SourceDraft& draft) {
    if (draft.changed()) return core::tr("Changed drives and folders are scanned again.");
    return core::tr("%@ only indexes what is selected here.", core::AppInfo::name());
}

std::string refusalMessage(std::string_view folder, const Candidate& candidate) {
    std::string_view name = platform::lastComponent(folder);
    if (name.empty()) name = folder;  // "/" names itself
    return core::tr("“%@” is not on “%@”.", core::repairUTF8(name), core::repairUTF8(candidate.name));
}

}  // namespace quorvanta::app
