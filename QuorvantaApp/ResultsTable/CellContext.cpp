#include "QuorvantaApp/ResultsTable/CellContext.h"

#include "QuorvantaApp/ResultsTable/Highlight.h"
#include "QuorvantaApp/model/columns/ColumnDef.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/lang/Tr.h"

#include <utility>

namespace quorvanta::app {

CellContext::CellContext(Setup setup)
    : locale_(std::move(setup.locale)),
      calendar_(std::move(setup.calendar)),
      kindStyle_(setup.kindStyle),
      measure_(std::move(setup.measure)),
      meta_(std::move(setup.meta)),
      pathColumnWidth_(ColumnDef::byID("path")->width) {}

void CellContext::setShown(ShownRows shown) {
    shown_ = std::move(shown);
    foldedTerms_ = highlightTerms(shown_.terms);
    std::erase_if(audio_, [](const auto& cached) { return cached.second.table.expired(); });
}

void CellContext::languageChanged(core::Locale locale) {
    locale_ = std::move(locale);
    fileTypes_.clear();
}

const FileType& CellContext::fileType(const std::string& ext) {
    auto found = fileTypes_.find(ext);
    if (found == fileTypes_.end()) found = fileTypes_.emplace(ext, fileTypeOf(ext)).first;
    return found->second;
}

std::string CellContext::kind(const core::VolumeIndex& index, std::uint32_t entry, bool badge) {
    if (index.flags(entry).contains(core::EntryFlags::dir)) return core::tr("Folder");
    const std::string ext = index.ext(entry);
    if (ext.empty()) return core::tr("File");
    if (badge) return upperExtension(ext);
    const auto& description = fileType(ext).description;
    return description ? *description : upperExtension(ext);
}

std::pair<std::string, std::string> CellContext::icon(const core::VolumeIndex& index, std::uint32_t entry) {
    if (index.flags(entry).contains(core::EntryFlags::dir)) return {"folder", ""};
    const FileType& type = fileType(index.ext(entry));
    return {type.icon, type.genericIcon};
}

std::optional<core::AudioMeta> CellContext::audioMeta(const core::VolumeIndex& index, std::uint32_t entry) {
    const std::shared_ptr<core::AudioTable> table = index.audio();
    if (!table) return std::nullopt;
    AudioSnapshot& cached = audio_[table.get()];
    // The version is read before the snapshot: a change in between makes the next call take a
    // newer one, never keeps an old snapshot under a new version.
    const std::uint64_t version = table->version();
    if (cached.table.lock() != table || cached.version != version || !cached.cols) {
        cached.table = table;
        cached.version = version;
        cached.cols = table->snapshot();
    }
    const auto row = core::AudioTable::row(entry, *cached.cols);
    if (!row) return std::nullopt;
    return core::AudioTable::meta(*cached.cols, *row);
}

std::optional<FileMeta> CellContext::meta(const VolumeState& volume, std::size_t row, std::uint32_t entry) const {
    if (!meta_) return std::nullopt;
    return meta_(volume, row, entry);
}

}  // namespace quorvanta::app
