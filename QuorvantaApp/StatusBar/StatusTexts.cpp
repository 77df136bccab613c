#include "QuorvantaApp/StatusBar/StatusTexts.h"

#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/volume/VolumeState.h"
#include "QuorvantaCore/lang/Lang.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/Format.h"

namespace quorvanta::app {
namespace {

// An entry count as the user reads it: grouped in the interface language's way.
std::string n(std::int64_t value) { return core::Format::count(value, core::Lang::locale()); }

// A duration with exactly one fraction digit in the interface language's notation.
std::string oneDecimal(double value) { return core::Lang::locale().formatNumber(value, 1); }

}  // namespace

SummaryFacts summaryFacts(const AppModel& model) {
    SummaryFacts facts;
    facts.queryError = model.queryError.get();
    facts.showsEmptyState = model.showsEmptyState();
    for (const auto& volume : model.volumes.get()) facts.totalEntries += volume->count.get();
    facts.hits = static_cast<std::int64_t>(model.results.get()->rows().size());
    facts.searchMs = model.searchMs.get();
    return facts;
}

Summary statusSummary(const SummaryFacts& facts) {
    if (facts.queryError) return {core::tr("Invalid search: %@", *facts.queryError), true};
    if (facts.showsEmptyState) return {core::tr("%@ entries indexed", n(facts.totalEntries)), false};
    return {core::tr("%lld hits · %@ ms", facts.hits, oneDecimal(facts.searchMs)), false};
}

ChipFacts chipFacts(const VolumeState& volume) {
    ChipFacts facts;
    facts.name = volume.name();
    facts.root = volume.root();
    facts.isInternal = volume.isInternal();
    facts.offline = volume.offline.get();
    facts.scanning = volume.scanning.get();
    facts.updating = volume.updating.get();
    facts.audioRunning = volume.audioRunning.get();
    facts.count = volume.count.get();
    facts.audioDone = volume.audioDone.get();
    facts.audioTotal = volume.audioTotal.get();
    facts.seconds = volume.seconds.get();
    facts.failure = volume.failure.get();
    facts.catalogDate = volume.catalogDate;
    return facts;
}

bool ChipState::spins() const {
    return kind == ChipStateKind::scanning || kind == ChipStateKind::updating || kind == ChipStateKind::audio;
}

ChipState chipState(const ChipFacts& facts) {
    if (facts.offline) return {ChipStateKind::offline, core::tr("%@ · not connected", n(facts.count))};
    if (facts.failure) return {ChipStateKind::failure, *facts.failure};
    if (facts.scanning) return {ChipStateKind::scanning, core::tr("%@ · scanning …", n(facts.count))};
    if (facts.updating) return {ChipStateKind::updating, core::tr("%@ · updating …", n(facts.count))};
    if (facts.audioRunning && facts.audioTotal >= 1)
        return {ChipStateKind::audio,
                core::tr("%@ · audio %@/%@", n(facts.count), n(facts.audioDone), n(facts.audioTotal))};
    return {ChipStateKind::idle, n(facts.count)};
}

std::string_view driveGlyph(const ChipFacts& facts) {
    if (facts.offline) return "externaldrive.badge.xmark";
    return facts.isInternal ? "internaldrive" : "externaldrive";
}

std::string chipTooltip(const ChipFacts& facts, const core::Calendar& calendar) {
    std::string state;
    if (facts.offline) {
        const std::string date =
            facts.catalogDate
                ? core::Format::dateTime(
                      std::chrono::duration_cast<std::chrono::seconds>(facts.catalogDate->time_since_epoch()).count(),
                      core::Lang::locale(), calendar)
                : "?";
        state = core::tr("%@ is not connected. The catalog (%@ entries, as of %@) stays searchable.", facts.name,
                         n(facts.count), date);
    } else if (facts.scanning) {
        state = core::tr("%@: %@ entries so far, searching already works on what is there", facts.root, n(facts.count));
    } else if (facts.updating) {
        state = core::tr("%@: %@ entries from the snapshot, changes since the last run are being replayed", facts.root,
                         n(facts.count));
    } else {
        state = core::tr("%@: %@ entries in %@ s", facts.root, n(facts.count), oneDecimal(facts.seconds));
    }
    return state + "\n\n" + core::tr("Click: show or hide this drive in the results (it stays indexed)");
}

}  // namespace quorvanta::app
