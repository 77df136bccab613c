#include "QuorvantaApp/ResultsTable/CellValues.h"

#include "QuorvantaApp/ResultsTable/CellFormat.h"
#include "QuorvantaApp/ResultsTable/Highlight.h"
#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaApp/model/volume/VolumeState.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/json/UTF8Repair.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/Format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <tuple>
#include <utility>

namespace quorvanta::app {
namespace {

using core::Format;

// The row a cell belongs to.
struct Row {
    CellContext& context;
    const VolumeState& volume;
    const core::VolumeIndex& index;
    std::size_t row;
    std::uint32_t entry;
    bool isFolder;

    std::optional<core::AudioMeta> audio() const { return context.audioMeta(index, entry); }
    std::optional<FileMeta> meta() const { return context.meta(volume, row, entry); }
    std::string date(std::int64_t seconds) const { return Format::date(seconds, context.locale(), context.calendar()); }
    std::string kHz(double hertz) const { return Format::dec(hertz / 1000, 0, 1, context.locale()) + " kHz"; }
};

// A non-negative finite number below 1e15, which rounds to a long long safely.
bool isPlainNumber(double value) { return std::isfinite(value) && value >= 0 && value < 1e15; }

std::string decimal(std::uint64_t value) { return std::to_string(value); }

using Fill = void (*)(const Row&, CellContent&);

void fillName(const Row& r, CellContent& cell) {
    const std::string name = r.index.name(r.entry);
    cell.text = core::repairUTF8(name);
    cell.highlights = highlightRanges(name, r.context.foldedTerms());
    std::tie(cell.iconKey, cell.iconFallbackKey) = r.context.icon(r.index, r.entry);
}

void fillDrive(const Row& r, CellContent& cell) {
    cell.text = core::repairUTF8(r.volume.name());
    cell.iconKey = r.volume.offline.get()  ? "externaldrive.badge.xmark"
                   : r.volume.isInternal() ? "internaldrive"
                                           : "externaldrive";
}

void fillPath(const Row& r, CellContent& cell) {
    const auto folder = CellFormat::folder(r.volume, r.entry);
    const std::string shown = core::repairUTF8(folder.shown);
    const auto& measure = r.context.measure();
    cell.text = measure ? CellFormat::headTruncate(shown, r.context.pathColumnWidth() - 16, measure) : shown;
    cell.tooltip = core::repairUTF8(folder.full);
}

void fillSize(const Row& r, CellContent& cell) {
    cell.text = r.isFolder ? "—" : Format::size(r.index.size(r.entry), r.context.locale());
}

void fillDate(const Row& r, CellContent& cell) { cell.text = r.date(r.index.mtime(r.entry)); }

void fillCreated(const Row& r, CellContent& cell) {
    if (const std::uint32_t created = r.index.ctime(r.entry); created != 0) cell.text = r.date(created);
}

void fillExt(const Row& r, CellContent& cell) { cell.text = core::repairUTF8(r.index.ext(r.entry)); }

void fillKind(const Row& r, CellContent& cell) {
    const bool badgeStyle = r.context.kindStyle() == KindStyle::badge;
    cell.text = r.context.kind(r.index, r.entry, badgeStyle);
    cell.badge = badgeStyle && !r.isFolder;
}

// Duration, bit rate and sample rate come from the audio table when the entry has a row there,
// zero values included; otherwise from the per-file metadata.
void fillDuration(const Row& r, CellContent& cell) {
    if (const auto audio = r.audio()) {
        if (audio->durationMs > 0) cell.text = CellFormat::hms(audio->durationMs / 1000.0);
    } else if (const auto meta = r.meta(); meta && meta->duration) {
        cell.text = CellFormat::hms(*meta->duration);
    }
}

void fillBitrate(const Row& r, CellContent& cell) {
    if (const auto audio = r.audio()) {
        if (audio->bitrateKbps > 0) cell.text = decimal(audio->bitrateKbps) + " kbit/s" + (audio->vbr ? " VBR" : "");
    } else if (const auto meta = r.meta(); meta && meta->bitrate && isPlainNumber(*meta->bitrate)) {
        cell.text = decimal(static_cast<std::uint64_t>(std::llround(*meta->bitrate / 1000))) + " kbit/s";
    }
}

void fillRate(const Row& r, CellContent& cell) {
    if (const auto audio = r.audio()) {
        if (audio->sampleRate > 0) cell.text = r.kHz(audio->sampleRate);
    } else if (const auto meta = r.meta(); meta && meta->rate && isPlainNumber(*meta->rate)) {
        cell.text = r.kHz(*meta->rate);
    }
}

// The audio-table columns: empty without a row or for a zero value.
template <std::string core::AudioMeta::*field>
void fillAudioText(const Row& r, CellContent& cell) {
    if (const auto audio = r.audio()) cell.text = core::repairUTF8((*audio).*field);
}

void fillYear(const Row& r, CellContent& cell) {
    if (const auto audio = r.audio(); audio && audio->year != 0) cell.text = decimal(audio->year);
}

void fillBpm(const Row& r, CellContent& cell) {
    if (const auto audio = r.audio(); audio && audio->bpm10 != 0)
        cell.text = Format::dec(audio->bpm10 / 10.0, 0, 1, r.context.locale());
}

void fillCodec(const Row& r, CellContent& cell) {
    if (const auto audio = r.audio()) {
        cell.text = std::string(core::label(audio->codec));
        if (core::lossless(audio->codec)) cell.text += " · " + core::tr("lossless");
    }
}

void fillBits(const Row& r, CellContent& cell) {
    if (const auto audio = r.audio(); audio && audio->bits != 0) cell.text = decimal(audio->bits) + " bit";
}

void fillChannels(const Row& r, CellContent& cell) {
    const auto audio = r.audio();
    if (!audio || audio->channels == 0) return;
    if (audio->channels == 1)
        cell.text = core::tr("Mono");
    else if (audio->channels == 2)
        cell.text = core::tr("Stereo");
    else
        cell.text = core::tr("%@ channels", r.context.locale().formatNumber(audio->channels, 0));
}

void fillAtime(const Row& r, CellContent& cell) {
    if (const auto meta = r.meta(); meta && meta->atime) cell.text = r.date(meta->atime->time_since_epoch().count());
}

void fillDims(const Row& r, CellContent& cell) {
    if (const auto meta = r.meta(); meta && meta->w && meta->h)
        cell.text = std::to_string(*meta->w) + "×" + std::to_string(*meta->h);
}

void fillPages(const Row& r, CellContent& cell) {
    if (const auto meta = r.meta(); meta && meta->pages) cell.text = std::to_string(*meta->pages);
}

// One filler per column of the catalogue, in its order; a column without one has no cells.
constexpr std::array<std::pair<std::string_view, Fill>, 24> fillers = {{
    {"name", fillName},
    {"artist", fillAudioText<&core::AudioMeta::artist>},
    {"title", fillAudioText<&core::AudioMeta::title>},
    {"album", fillAudioText<&core::AudioMeta::album>},
    {"genre", fillAudioText<&core::AudioMeta::genre>},
    {"year", fillYear},
    {"bpm", fillBpm},
    {"key", fillAudioText<&core::AudioMeta::key>},
    {"duration", fillDuration},
    {"bitrate", fillBitrate},
    {"rate", fillRate},
    {"codec", fillCodec},
    {"bits", fillBits},
    {"channels", fillChannels},
    {"dims", fillDims},
    {"pages", fillPages},
    {"size", fillSize},
    {"date", fillDate},
    {"created", fillCreated},
    {"atime", fillAtime},
    {"ext", fillExt},
    {"kind", fillKind},
    {"drive", fillDrive},
    {"path", fillPath},
}};

}  // namespace

std::optional<CellContent> cellContent(CellContext& context, std::size_t row, std::string_view columnId) {
    const ColumnDef* def = ColumnDef::byID(columnId);
    const auto filler =
        std::find_if(fillers.begin(), fillers.end(), [&](const auto& f) { return f.first == columnId; });
    const ShownRows& shown = context.shown();
    if (!def || filler == fillers.end() || row >= shown.rows.size()) return std::nullopt;
    const RowKey key = shown.rows[row];
    if (rowPosition(key) >= shown.vols.size() || !shown.vols[rowPosition(key)]) return std::nullopt;
    const VolumeState& volume = *shown.vols[rowPosition(key)];
    const core::VolumeIndex& index = *volume.index();
    const std::uint32_t entry = rowEntry(key);
    if (entry >= index.count()) return std::nullopt;

    const Row r{context, volume, index, row, entry, index.flags(entry).contains(core::EntryFlags::dir)};
    CellContent cell;
    cell.right = def->right;
    cell.elision = def->role == ColumnDef::Role::path ? Elision::head : Elision::middle;
    cell.offline = volume.offline.get();
    filler->second(r, cell);
    return cell;
}

}  // namespace quorvanta::app
