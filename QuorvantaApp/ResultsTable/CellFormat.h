// The results table's own formatters: play times, the folder text of the Path column, and cutting
// a folder text at its head to fit a width. Numbers and dates are the core's (Format.h).
//
// Threads: pure functions over their arguments; `folder` reads the volume's index, which any
// thread may read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quorvanta::app {

class VolumeState;

struct CellFormat {
    CellFormat() = delete;

    // The width of a text in the cell's font, in points.
    using TextWidth = std::function<double(std::string_view text)>;

    // Seconds rounded to whole seconds: "m:ss" below an hour, "h:mm:ss" from an hour on (59.6
    // gives "1:00", 3600 gives "1:00:00"). Empty for a negative or not finite value.
    static std::string hms(double seconds);

    struct Folder {
        std::string shown;  // the text the Path column shows
        std::string full;   // the folder's full path (the tooltip)
    };
    // The folder of an entry: its parent's full path (empty for a root entry). On the internal
    // volume the shown text is the volume's displayPath of it; on other volumes it is the path
    // below the volume root with a leading "/", and "/" for the root itself. Raw bytes, as the
    // index holds them.
    static Folder folder(const VolumeState& volume, std::uint32_t entry);

    // `text` when it fits `width`; otherwise "…/" and as many trailing "/"-separated components
    // as fit, at least the last one (which may still not fit).
    static std::string headTruncate(std::string_view text, double width, const TextWidth& measure);
};

}  // namespace quorvanta::app
