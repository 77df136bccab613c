// What the results table's cells are computed from, and the caches that keep that cheap: the
// shown result set, the kind style, the locale and time zone of numbers and dates, the width
// measure of the Path column, the lookup of lazily loaded per-file metadata, and per-extension
// file types and per-table audio snapshots. `cellContent` (CellValues.h) reads it.
//
// The result set is given as `ShownRows`, a view of its volumes, row keys and highlight terms
// with an owner that keeps them alive, so that the cells depend on no more of the application
// model than the volume states.
//
// Caches:
//   file types   per extension (description and icon names); emptied by `languageChanged`, since
//                descriptions come in the interface language.
//   audio        one snapshot per audio table, kept while the table's version stays the same.
//                Keyed by the table itself, held weakly: a table replaced on its index, or
//                released with its volume, is never answered from an old snapshot.
//
// Threads: main thread only, like the table. The per-file metadata lookup is called on it.
#pragma once

#include "QuorvantaApp/ResultsTable/CellFormat.h"
#include "QuorvantaApp/ResultsTable/FileMeta.h"
#include "QuorvantaApp/ResultsTable/FileType.h"
#include "QuorvantaApp/model/columns/KindStyle.h"
#include "QuorvantaApp/model/search/RowKey.h"
#include "QuorvantaCore/audio_table/AudioMeta.h"
#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/query/Calendar.h"
#include "QuorvantaCore/util/Locale.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvanta::core {
class VolumeIndex;
}

namespace quorvanta::app {

class VolumeState;

// The result set on screen: row r names the entry rowEntry(rows[r]) of the volume
// vols[rowPosition(rows[r])]; `terms` are the search texts to highlight in names.
struct ShownRows {
    std::span<const std::shared_ptr<VolumeState>> vols;
    std::span<const RowKey> rows;
    std::span<const std::string> terms;
    std::shared_ptr<const void> owner;  // keeps what the spans view alive
};

class CellContext {
public:
    // The per-file metadata of the entry at a row, or none while it is not loaded (the table
    // then loads it in the background and reloads the row's lazy cells).
    using MetaLookup =
        std::function<std::optional<FileMeta>(const VolumeState& volume, std::size_t row, std::uint32_t entry)>;

    struct Setup {
        core::Locale locale;      // of the interface language
        core::Calendar calendar;  // the user's time zone
        KindStyle kindStyle = KindStyle::badge;
        CellFormat::TextWidth measure;  // text width in the Path column's font
        MetaLookup meta;                // empty: no per-file metadata
    };

    explicit CellContext(Setup setup);

    const ShownRows& shown() const { return shown_; }
    // A new result set: its terms are folded once for all name cells, and audio snapshots of
    // tables that are gone are dropped.
    void setShown(ShownRows shown);

    KindStyle kindStyle() const { return kindStyle_; }
    void setKindStyle(KindStyle style) { kindStyle_ = style; }

    // The Path column's current width, in points (its default width until told otherwise).
    double pathColumnWidth() const { return pathColumnWidth_; }
    void setPathColumnWidth(double width) { pathColumnWidth_ = width; }

    const core::Locale& locale() const { return locale_; }
    const core::Calendar& calendar() const { return calendar_; }
    const CellFormat::TextWidth& measure() const { return measure_; }
    const std::vector<std::string>& foldedTerms() const { return foldedTerms_; }

    // The interface language changed to one with `locale`: numbers and dates use it from now on,
    // and file-type descriptions are looked up again.
    void languageChanged(core::Locale locale);

    // The Kind text of an entry: "Folder" for a folder, "File" for a file without extension,
    // with `badge` the upper-case extension, else the type's description, or the upper-case
    // extension when the type is not known.
    std::string kind(const core::VolumeIndex& index, std::uint32_t entry, bool badge);
    // The icon keys of an entry: "folder" for a folder, else its type's icon and generic icon.
    std::pair<std::string, std::string> icon(const core::VolumeIndex& index, std::uint32_t entry);
    // The audio facts of an entry from its volume's audio table; none without a table or a row.
    std::optional<core::AudioMeta> audioMeta(const core::VolumeIndex& index, std::uint32_t entry);
    // The per-file metadata, through the lookup; none without one.
    std::optional<FileMeta> meta(const VolumeState& volume, std::size_t row, std::uint32_t entry) const;

private:
    const FileType& fileType(const std::string& ext);

    struct AudioSnapshot {
        std::weak_ptr<core::AudioTable> table;
        std::uint64_t version = 0;
        std::shared_ptr<const core::AudioTable::Cols> cols;
    };

    ShownRows shown_;
    std::vector<std::string> foldedTerms_;
    core::Locale locale_;
    core::Calendar calendar_;
    KindStyle kindStyle_;
    CellFormat::TextWidth measure_;
    MetaLookup meta_;
    double pathColumnWidth_;
    std::unordered_map<std::string, FileType> fileTypes_;
    std::unordered_map<const core::AudioTable*, AudioSnapshot> audio_;
};

}  // namespace quorvanta::app
