#include "QuorvantaApp/model/columns/ColumnDef.h"

#include "QuorvantaCore/lang/Tr.h"

#include <algorithm>
#include <unordered_map>

namespace quorvanta::app {
namespace {

using core::SortKey;
using core::trNoop;
using Role = ColumnDef::Role;

constexpr std::nullopt_t unsorted = std::nullopt;

// The menu headings.
constexpr std::string_view audioTagsGroup = trNoop("Audio tags");
constexpr std::string_view audioVideoGroup = trNoop("Audio / Video");
constexpr std::string_view imageVideoGroup = trNoop("Image / Video");
constexpr std::string_view documentGroup = trNoop("Document");
constexpr std::string_view fileGroup = trNoop("File");

}  // namespace

const std::array<ColumnDef, 24> ColumnDef::all = {{
    {"name", trNoop("Name"), 280, SortKey::name, "", false, false, Role::name},
    {"artist", trNoop("Artist"), 150, unsorted, audioTagsGroup, false, false, Role::text},
    {"title", trNoop("Title"), 170, unsorted, audioTagsGroup, false, false, Role::text},
    {"album", trNoop("Album"), 150, unsorted, audioTagsGroup, false, false, Role::text},
    {"genre", trNoop("Genre"), 90, unsorted, audioTagsGroup, false, false, Role::text},
    {"year", trNoop("Year"), 46, unsorted, audioTagsGroup, true, false, Role::text},
    {"bpm", trNoop("BPM"), 50, unsorted, audioTagsGroup, true, false, Role::text},
    {"key", trNoop("Key"), 55, unsorted, audioTagsGroup, false, false, Role::text},
    {"duration", trNoop("Duration"), 60, unsorted, audioVideoGroup, true, true, Role::text},
    {"bitrate", trNoop("Bit rate"), 104, unsorted, audioVideoGroup, true, true, Role::text},
    {"rate", trNoop("Sample rate"), 80, unsorted, audioVideoGroup, true, true, Role::text},
    {"codec", trNoop("Codec"), 80, unsorted, audioVideoGroup, false, false, Role::text},
    {"bits", trNoop("Bit depth"), 62, unsorted, audioVideoGroup, true, false, Role::text},
    {"channels", trNoop("Channels"), 60, unsorted, audioVideoGroup, false, false, Role::text},
    {"dims", trNoop("Dimensions"), 84, unsorted, imageVideoGroup, true, true, Role::text},
    {"pages", trNoop("Pages"), 56, unsorted, documentGroup, true, true, Role::text},
    {"size", trNoop("Size"), 78, SortKey::size, fileGroup, true, false, Role::text},
    {"date", trNoop("Modified"), 76, SortKey::date, fileGroup, true, false, Role::text},
    {"created", trNoop("Created"), 76, SortKey::created, fileGroup, true, false, Role::text},
    {"atime", trNoop("Last opened"), 100, unsorted, fileGroup, true, true, Role::text},
    {"ext", trNoop("Extension"), 64, unsorted, fileGroup, false, false, Role::text},
    {"kind", trNoop("Kind"), 110, unsorted, fileGroup, false, false, Role::kind},
    {"drive", trNoop("Drive"), 118, unsorted, fileGroup, false, false, Role::drive},
    {"path", trNoop("Path"), 240, SortKey::path, fileGroup, false, false, Role::path},
}};

const ColumnDef* ColumnDef::byID(std::string_view id) {
    static const auto table = [] {
        std::unordered_map<std::string_view, const ColumnDef*> map;
        for (const ColumnDef& def : all) map.emplace(def.id, &def);
        return map;
    }();
    const auto found = table.find(id);
    return found == table.end() ? nullptr : found->second;
}

bool ColumnDef::isAudioTag(std::string_view id) {
    return std::find(audioTags.begin(), audioTags.end(), id) != audioTags.end();
}

}  // namespace quorvanta::app
