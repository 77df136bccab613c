// The results table's column catalogue: 24 fixed columns, each with its stable id (the table
// column's identifier, the key of width preferences and of stored column sets), its English
// header title (shown through tr), default width, sort order, the heading it is listed under in
// the header's column menu, alignment, whether its value may come from the lazily loaded per-file
// metadata, and how its cell is built. The order of `all` is the order of the table's columns, of
// the column menu and of stored sets.
//
// Threads: constant data, readable from any thread.
#pragma once

#include "QuorvantaCore/index/SortOrders.h"

#include <array>
#include <optional>
#include <string_view>

namespace quorvanta::app {

struct ColumnDef {
    // How a cell of the column is built.
    enum class Role : std::uint8_t {
        text,   // plain text
        name,   // icon and highlighted name
        kind,   // kind text, in a badge in badge style
        drive,  // drive symbol and the volume's name
        path,   // folder text cut at the head
    };

    std::string_view id;
    std::string_view title;  // English; translated where shown
    double width;            // default width in points
    std::optional<core::SortKey> sort;
    std::string_view group;  // menu heading; empty for the name column
    bool right;              // values and header right-aligned
    bool lazy;               // reloaded when per-file metadata arrives
    Role role;

    static const std::array<ColumnDef, 24> all;
    // The column of an id; null for an id that is not in the catalogue.
    static const ColumnDef* byID(std::string_view id);

    // The columns whose values come from the volume's audio table.
    static constexpr std::array<std::string_view, 10> audioTags = {"artist", "title", "album", "genre",    "year",
                                                                   "bpm",    "key",   "codec", "channels", "bits"};
    static bool isAudioTag(std::string_view id);
};

}  // namespace quorvanta::app
