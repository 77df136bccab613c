// What one cell of the results table says, as a plain value: its text, tooltip, the parts of the
// text to highlight, and the flags the painting follows. The table's cell view draws it; how it
// looks (fonts, colours, icons) is the view's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvanta::app {

// A run of the cell's text in UTF-16 code units (the offsets Qt's text layout takes).
struct Utf16Range {
    std::size_t start = 0;
    std::size_t length = 0;
    bool operator==(const Utf16Range&) const = default;
};

// Where a text too long for its cell loses characters.
enum class Elision : std::uint8_t { head, middle };

struct CellContent {
    std::string text;                    // valid UTF-8: names that are not are shown repaired
    std::string tooltip;                 // empty: none
    std::vector<Utf16Range> highlights;  // name column: where the search terms match, ascending
    bool offline = false;                // the row's drive is not connected
    bool badge = false;                  // kind column in badge style: the text goes in a badge
    // The icon, as a key the painting resolves: a freedesktop icon name ("audio-mpeg", "folder")
    // with a generic one to fall back on ("audio-x-generic"), or a drive symbol
    // ("internaldrive", "externaldrive", "externaldrive.badge.xmark"). Empty: no icon.
    std::string iconKey;
    std::string iconFallbackKey;
    bool right = false;  // right-aligned
    Elision elision = Elision::middle;

    bool operator==(const CellContent&) const = default;
};

}  // namespace quorvanta::app
