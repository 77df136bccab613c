// What each cell of the results table says: `cellContent` builds the content of one row and
// column from the volume index, the volume's audio table and the per-file metadata, through the
// caches of the context.
//
// Threads: main thread only (the context is).
#pragma once

#include "QuorvantaApp/ResultsTable/CellContent.h"
#include "QuorvantaApp/ResultsTable/CellContext.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace quorvanta::app {

// The content of the cell at `row` of the shown result set in the column `columnId`; none for a
// row beyond the shown rows, a column id the catalogue does not know, or a row key that names no
// shown volume or entry.
std::optional<CellContent> cellContent(CellContext& context, std::size_t row, std::string_view columnId);

}  // namespace quorvanta::app
