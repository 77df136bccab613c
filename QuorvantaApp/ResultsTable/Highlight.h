// Where the search terms occur in a name, as runs of the name's display text (the name with
// ill-formed UTF-8 repaired) in UTF-16 code units, for the name column's bold, accented parts.
//
// Terms are found case- and diacritic-insensitively: the name is folded one grapheme cluster at a
// time with the index's fold (text/Fold.h), each term is looked for in that folded copy, scanning
// on after each match, and every match is widened to the whole clusters it touches. The fold may
// shorten a cluster ("É" gives "e") and the display text may differ from the name's bytes (an
// emoji is two UTF-16 units, an ill-formed sequence one U+FFFD), so matches are mapped back
// through a table of cluster starts and then through the repaired text's units, never applied to
// offsets of the folded copy.
//
// Threads: pure functions; any thread.
#pragma once

#include "QuorvantaApp/ResultsTable/CellContent.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {

// The terms as the matching wants them: folded, the empty ones left out, each once.
std::vector<std::string> highlightTerms(std::span<const std::string> terms);

// The runs of repairUTF8(name) where any of the folded terms occurs, ascending; overlapping and
// touching runs are joined.
std::vector<Utf16Range> highlightRanges(std::string_view name, std::span<const std::string> foldedTerms);

}  // namespace quorvanta::app
