// dupes (--snapshot <file.idx> | --volume <root>)... [--stages 1,2,3,4,5] [--threads N] [--ext list]
// [--csv file] [--m3u file]: the staged duplicate finder over loaded and scanned volumes, its
// stage times, a summary, the first groups and the exports.
#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/index/ExportFile.h"
#include "QuorvantaCore/text/Grapheme.h"
#include "audio/dupes/DupExport.h"
#include "audio/dupes/DuplicateFinder.h"
#include "quorvanta_cli/Commands.h"
#include "quorvanta_cli/Options.h"
#include "quorvanta_cli/Shared.h"
#include "quorvanta_cli/Tool.h"

#include <mutex>
#include <optional>

namespace quorvanta::cli {
namespace {

using audio::DupGroup;
using audio::DupKind;
using audio::DupStage;
namespace o = options::dupes;

constexpr double kReportEvery = 10;  // seconds between progress lines on standard error
constexpr std::size_t kListedGroups = 5;
constexpr std::size_t kPathTail = 100;  // characters of a member's path that are listed

std::vector<std::string> splitAtCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1)
        parts.push_back(text.substr(start, comma - start));
    parts.push_back(text.substr(start));
    return parts;
}

audio::DuplicateFinder::Options finderOptions(const Args& args) {
    audio::DuplicateFinder::Options chosen;
    if (const auto list = args.opt(o::stages)) {
        chosen.stages.clear();
        for (const std::string& part : splitAtCommas(*list))
            if (const auto n = number(part))
                if (const auto stage = audio::dupStageFromRawValue(*n)) chosen.stages.insert(*stage);
    }
    if (const auto threads = args.opt(o::threads))
        if (const auto n = number(*threads)) chosen.threads = engineThreads(*n);
    if (const auto exts = args.opt(o::ext)) chosen.extensions = splitAtCommas(*exts);
    return chosen;
}

// The stage reports of one run. The finder calls `progress` from its workers and its own thread;
// the main flow reads the cells after the run returned. `lock_` guards every cell and the output.
class StageReporter {
public:
    explicit StageReporter(Cli& cli) : cli_(cli) {}

    void progress(const audio::DuplicateFinder::Progress& p) {
        const std::lock_guard hold(lock_);
        const double t = now();
        if (stage_ != p.stage) {
            if (stage_) cli_.out << "  " << audio::title(*stage_) << ": " << fmt(t - stageStart_) << " s\n";
            stage_ = p.stage;
            stageStart_ = t;
            lastReport_.reset();
        }
        if (!lastReport_ || t - *lastReport_ > kReportEvery) {
            cli_.err << "    " << audio::title(p.stage) << ": " << p.done << "/" << p.total << ", " << p.groups
                     << " groups\n"
                     << std::flush;
            lastReport_ = t;
        }
        if (p.done == p.total)
            cli_.out << "  " << audio::title(p.stage) << ": " << p.done << " files -> " << p.groups << " groups\n";
    }

    void finish() {
        const std::lock_guard hold(lock_);
        if (stage_)
            cli_.out << "  " << audio::title(*stage_) << ": " << fmt(now() - stageStart_) << " s (last stage)\n";
    }

private:
    Cli& cli_;
    std::mutex lock_;
    std::optional<DupStage> stage_;
    double stageStart_ = 0;
    std::optional<double> lastReport_;  // none: report at the next call
};

std::string volumeLine(const std::vector<std::shared_ptr<core::VolumeIndex>>& volumes,
                       const audio::DuplicateFinder::Options& options) {
    std::string line = "volumes: ";
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        const auto table = volumes[i]->audio();
        line += (i > 0 ? " | " : "") + std::to_string(volumes[i]->count()) + " entries, audio rows " +
                std::to_string(table ? table->count() : 0);
    }
    line += "; stages [";
    bool first = true;
    for (const DupStage stage : options.stages) {  // ascending by raw value
        line += (first ? "" : ", ") + std::to_string(audio::rawValue(stage));
        first = false;
    }
    return line + "]; threads " + std::to_string(options.threads);
}

void printSummary(Cli& cli, const std::vector<DupGroup>& groups) {
    struct Tally {
        std::size_t groups = 0;
        std::int64_t surplusCopies = 0;
        std::uint64_t surplusBytes = 0;
    } identical, sameSong;
    for (const DupGroup& g : groups) {
        Tally& t = g.kind == DupKind::identical ? identical : sameSong;
        ++t.groups;
        t.surplusCopies += static_cast<std::int64_t>(g.members.size()) - 1;
        t.surplusBytes += g.surplusBytes();
    }
    cli.out << "RESULT: identical groups " << identical.groups << " (" << identical.surplusCopies << " surplus copies, "
            << gb(identical.surplusBytes) << ") · same-song groups " << sameSong.groups << " ("
            << sameSong.surplusCopies << " surplus, " << gb(sameSong.surplusBytes) << ")\n";
}

void printGroup(Cli& cli, const DupGroup& group) {
    cli.out << "  [" << audio::rawValue(group.kind)
            << (group.confirmed.value_or(false) ? ", fingerprint-confirmed" : "") << "] " << group.members.size()
            << " files, surplus " << gb(group.surplusBytes()) << '\n';
    for (std::size_t i = 0; i < group.members.size(); ++i) {
        const audio::DupMember& m = group.members[i];
        cli.out << "    " << (static_cast<std::int64_t>(i) == group.keep ? "KEEP   " : "surplus") << ' ' << m.size
                << " B " << (m.meta ? core::label(m.meta->codec) : std::string_view{}) << ' '
                << (m.meta ? m.meta->bitrateKbps : 0) << " kbit  " << core::text::graphemeSuffix(m.path, kPathTail)
                << '\n';
    }
}

// "csv: true" or "csv: false" as the export file was written or not.
void exportTo(Cli& cli, std::string_view label, const std::string& text, const std::string& path) {
    cli.out << label << ": " << (core::ExportFile::save(text, path) ? "true" : "false") << '\n';
}

}  // namespace

int dupesCommand(Cli& cli) {
    std::vector<std::shared_ptr<core::VolumeIndex>> volumes;
    for (const std::string& path : cli.args.opts(o::snapshot)) {
        auto loaded = core::VolumeIndex::load(path, {});
        if (!loaded) {
            cli.out << "cannot load " << path << '\n';
            return kFailed;
        }
        loaded->index->loadAudio(path);
        volumes.push_back(std::move(loaded->index));
    }
    const std::vector<std::string> roots = cli.args.opts(o::volume);
    if (volumes.empty() && roots.empty()) usageExit(cli, "dupes");
    for (const std::string& root : roots) volumes.push_back(build(cli, {root}));

    const audio::DuplicateFinder::Options chosen = finderOptions(cli.args);
    cli.out << volumeLine(volumes, chosen) << '\n';

    audio::DuplicateFinder finder(volumes, chosen);
    StageReporter reporter(cli);
    const std::vector<DupGroup> groups = finder.run([&](const auto& p) { reporter.progress(p); });
    reporter.finish();

    printSummary(cli, groups);
    for (std::size_t i = 0; i < groups.size() && i < kListedGroups; ++i) printGroup(cli, groups[i]);
    if (const auto path = cli.args.opt(o::csv)) exportTo(cli, "csv", audio::DupExport::csv(groups), *path);
    if (const auto path = cli.args.opt(o::m3u))
        exportTo(cli, "m3u", audio::DupExport::m3u(groups, audio::DupExport::Which::surplus), *path);
    return kSuccess;
}

}  // namespace quorvanta::cli
