#include "QuorvantaCore/index/JunkReport.h"

#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/index_engine/ScanRules.h"
#include "QuorvantaCore/text/Case.h"
#include "QuorvantaCore/text/CharClass.h"
#include "QuorvantaCore/text/Grapheme.h"
#include "QuorvantaCore/util/Csv.h"

#include <algorithm>
#include <span>
#include <unordered_map>

namespace quorvanta::core::JunkReport {
namespace {

using index_engine::kDotJunkNames;
using index_engine::kJunkNamesAnyCase;

// Whether the lower-cased name is one of the scan's junk names (all ASCII) ignoring case. The
// report matches every spelling, where the scan takes the dot names as spelled only.
bool isOneOf(std::string_view lower, std::span<const std::string_view> names) {
    return std::any_of(names.begin(), names.end(), [&](std::string_view name) {
        return std::equal(name.begin(), name.end(), lower.begin(), lower.end(), [](char a, char b) {
            return text::asciiLower(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
        });
    });
}

// Whether the seventh character (grapheme cluster) of text exists and is a number character.
bool seventhIsNumeric(std::string_view text) {
    std::size_t at = 0;
    for (int skipped = 0; skipped < 6; ++skipped) {
        if (at >= text.size()) return false;
        at = text::graphemeEnd(text, at);
    }
    if (at >= text.size()) return false;
    return text::isNumeric(text.substr(at, text::graphemeEnd(text, at) - at));
}

// Counted entries: junk files that are live and not roots.
constexpr std::uint8_t kCountedMask = FIDX_FOLDER | FIDX_JUNK | FIDX_ROOT | FIDX_DELETED;

// Rows under construction, one per kind, and the kind each folder already resolved to.
class Aggregator {
public:
    explicit Aggregator(const VolumeIndex& index) : index_(index), count_(index.count()) {}

    std::vector<Row> run() {
        const fidx* s = index_.s();
        for (std::uint32_t i = 0; i < count_; ++i) {
            if ((index_.flags(i).rawValue & kCountedMask) != FIDX_JUNK) continue;
            const std::optional<std::string> own = kind(index_.name(i), false);
            Row& row = rows_[own ? slot(*own) : inheritedSlot(s->parent[i])];
            row.files += 1;
            row.bytes += index_.size(i);
        }
        std::sort(rows_.begin(), rows_.end(),
                  [](const Row& a, const Row& b) { return a.bytes != b.bytes ? a.bytes > b.bytes : a.kind < b.kind; });
        return std::move(rows_);
    }

private:
    std::size_t slot(const std::string& kind) {
        const auto [it, added] = slotOfKind_.try_emplace(kind, rows_.size());
        if (added) rows_.push_back(Row{kind, 0, 0});
        return it->second;
    }

    // The kind of the nearest folder from `folder` upwards that names one, else `other`. The walk
    // ends at a root, at an entry without parent or with a parent outside the index, and after
    // as many steps as there are entries, so a damaged parent chain cannot loop. Every folder
    // walked through remembers the answer, so each folder's name is judged at most once.
    std::size_t inheritedSlot(std::uint32_t folder) {
        const fidx* s = index_.s();
        walked_.clear();
        std::optional<std::size_t> found;
        for (std::uint32_t steps = 0; folder < count_ && steps < count_; ++steps) {
            if (const auto cached = folderSlot_.find(folder); cached != folderSlot_.end()) {
                found = cached->second;
                break;
            }
            if (index_.flags(folder).contains(EntryFlags::root)) break;
            walked_.push_back(folder);
            if (const std::optional<std::string> k = kind(index_.name(folder), true)) {
                found = slot(*k);
                break;
            }
            folder = s->parent[folder];
        }
        const std::size_t result = found ? *found : slot(std::string(other));
        for (const std::uint32_t w : walked_) folderSlot_.emplace(w, result);
        return result;
    }

    const VolumeIndex& index_;
    const std::uint32_t count_;
    std::vector<Row> rows_;
    std::unordered_map<std::string, std::size_t> slotOfKind_;
    std::unordered_map<std::uint32_t, std::size_t> folderSlot_;
    std::vector<std::uint32_t> walked_;
};

}  // namespace

std::optional<std::string> kind(std::string_view ofName, bool isDir) {
    if (ofName.starts_with("._")) return "._*";
    if (ofName.starts_with(".")) {
        if (isOneOf(text::lowercased(ofName), kDotJunkNames)) return std::string(ofName);
        return std::nullopt;
    }
    if (ofName == "Icon\r") return "Icon\\r";
    const std::string lower = text::lowercased(ofName);
    if (isOneOf(lower, kJunkNamesAnyCase)) return std::string(ofName);
    if (isDir && lower.starts_with("found.") && seventhIsNumeric(lower)) return "FOUND.*";
    if (lower.starts_with("file") && lower.ends_with(".chk") && text::graphemeCount(lower) == 12) return "FILE*.CHK";
    return std::nullopt;
}

std::vector<Row> aggregate(const VolumeIndex& index) { return Aggregator(index).run(); }

std::string csv(const std::vector<VolumeRows>& volumes) {
    std::string out = "volume,kind,files,size_bytes\n";
    for (const VolumeRows& v : volumes) {
        for (const Row& row : v.rows) {
            appendCsvQuoted(out, v.volume);
            out += ',';
            appendCsvQuoted(out, row.kind);
            out += ',' + std::to_string(row.files) + ',' + std::to_string(row.bytes) + '\n';
        }
    }
    return out;
}

}  // namespace quorvanta::core::JunkReport
