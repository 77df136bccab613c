#include "QuorvantaApp/ResultsTable/Highlight.h"

#include "QuorvantaCore/json/UTF8Repair.h"
#include "QuorvantaCore/text/Fold.h"
#include "QuorvantaCore/text/Grapheme.h"

#include <algorithm>
#include <utility>

namespace quorvanta::app {
namespace {

// [first, second) of some text.
using Run = std::pair<std::size_t, std::size_t>;

// The last of the ascending starts that is at or before `at` (the first start must be 0).
std::size_t lastAtOrBefore(const std::vector<std::size_t>& starts, std::size_t at) {
    return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
}

// The name folded cluster by cluster, with where each cluster starts in the name and in the fold.
// A cluster that folds to nothing shares its fold start with the next cluster, so the last
// cluster starting at or before a byte of the fold is the one that byte came from.
struct FoldedName {
    std::string folded;
    std::vector<std::size_t> nameStart;    // per cluster, then the name's length
    std::vector<std::size_t> foldedStart;  // per cluster

    explicit FoldedName(std::string_view name) {
        core::text::forEachGrapheme(name, [&](std::string_view cluster) {
            nameStart.push_back(static_cast<std::size_t>(cluster.data() - name.data()));
            foldedStart.push_back(folded.size());
            folded += core::text::fold(cluster);
        });
        nameStart.push_back(name.size());
    }

    // The run of whole clusters of the name that the fold's bytes [first, end) came from.
    Run nameRun(std::size_t first, std::size_t end) const {
        return {nameStart[lastAtOrBefore(foldedStart, first)], nameStart[lastAtOrBefore(foldedStart, end - 1) + 1]};
    }
};

// The name's units as repairUTF8 reads them (a well-formed sequence, or an ill-formed subpart that
// becomes one U+FFFD), with where each starts in the name and in the repaired text's UTF-16 units.
struct RepairedUnits {
    std::vector<std::size_t> byteStart;   // per unit
    std::vector<std::size_t> utf16Start;  // per unit, then the repaired text's UTF-16 length

    explicit RepairedUnits(std::string_view name) {
        std::size_t utf16 = 0;
        for (std::size_t at = 0; at < name.size();) {
            const core::UTF8Unit unit = core::utf8UnitAt(name, at);
            byteStart.push_back(at);
            utf16Start.push_back(utf16);
            // A four-byte sequence lies beyond U+FFFF and takes a surrogate pair.
            utf16 += unit.wellFormed && unit.length == 4 ? 2 : 1;
            at += unit.length;
        }
        utf16Start.push_back(utf16);
    }

    // The UTF-16 run covering every unit that the name's bytes [first, end) touch.
    Run utf16Run(const Run& bytes) const {
        return {utf16Start[lastAtOrBefore(byteStart, bytes.first)],
                utf16Start[lastAtOrBefore(byteStart, bytes.second - 1) + 1]};
    }
};

}  // namespace

std::vector<std::string> highlightTerms(std::span<const std::string> terms) {
    std::vector<std::string> folded;
    for (const auto& term : terms) {
        std::string f = core::text::fold(term);
        if (!f.empty() && std::find(folded.begin(), folded.end(), f) == folded.end()) folded.push_back(std::move(f));
    }
    return folded;
}

std::vector<Utf16Range> highlightRanges(std::string_view name, std::span<const std::string> foldedTerms) {
    if (name.empty() || foldedTerms.empty()) return {};
    const FoldedName fold(name);
    const RepairedUnits units(name);
    std::vector<Run> runs;
    for (const auto& term : foldedTerms) {
        if (term.empty()) continue;
        for (auto at = fold.folded.find(term); at != std::string::npos; at = fold.folded.find(term, at + term.size()))
            runs.push_back(units.utf16Run(fold.nameRun(at, at + term.size())));
    }
    std::sort(runs.begin(), runs.end());
    std::vector<Utf16Range> out;
    for (const auto& [first, end] : runs) {
        if (!out.empty() && first <= out.back().start + out.back().length)
            out.back().length = std::max(out.back().start + out.back().length, end) - out.back().start;
        else
            out.push_back({first, end - first});
    }
    return out;
}

}  // namespace quorvanta::app
