// A result category: a chip above the results that narrows every search to a kind of file. The
// user edits the list (Prefs::categories); "all" (everything) and "folders" (folders only) are
// built in, known to displayName() and term(), and never part of that list.
//
// Stored under "categories" as a JSON array of objects with the text members "id", "name",
// "symbol" and "patterns". `symbol` is kept as given; the shell maps it to a glyph of its own.
//
// Threads: plain values, safe to copy between threads. displayName() reads the shared language.
#pragma once

#include "QuorvantaCore/query/Query.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvanta::app {

struct Category {
    std::string id;        // stable identity in lists
    std::string name;      // the user's name; empty: the translated default name of the id
    std::string symbol;    // the name of the chip's symbol
    std::string patterns;  // extension patterns separated by ";", e.g. "*.mp3;*.flac"

    bool operator==(const Category&) const = default;

    // audio, video, images, docs, archives, each with an empty name.
    static const std::vector<Category>& defaults();
    // Names that older versions stored for the default categories; at load such a name is
    // cleared so that the translated default shows.
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 5> legacyNames{{
        {"audio", "Audio"},
        {"video", "Video"},
        {"images", "Bilder"},
        {"docs", "Dokumente"},
        {"archives", "Archive"},
    }};
    // The built-in filters: id "all", symbol "square.grid.2x2"; id "folders", symbol "folder";
    // empty name and patterns.
    static Category all();
    static Category folders();

    // `name` when not empty, else the translated default name of the id ("New" for an id of the
    // user's own).
    std::string displayName() const;
    // The term added to every group of a query: none for "all"; folders only for "folders"; else
    // the accepted extensions of `patterns` (possibly none, which matches nothing). Never negated,
    // never case-sensitive.
    std::optional<core::Term> term() const;
};

// The JSON text of a category list.
std::string encodeCategories(const std::vector<Category>& categories);
// The list a JSON text holds, or none when it is not an array of objects each with the four text
// members (other members are ignored).
std::optional<std::vector<Category>> decodeCategories(std::string_view json);

}  // namespace quorvanta::app
