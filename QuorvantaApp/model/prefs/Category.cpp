#include "QuorvantaApp/model/prefs/Category.h"

#include "QuorvantaCore/json/JSONText.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/query/ExtPatterns.h"

namespace quorvanta::app {
namespace {

// The default name of each known id; any other id is "New".
constexpr std::pair<std::string_view, std::string_view> kDefaultNames[] = {
    {"all", core::trNoop("All")},           {"folders", core::trNoop("Folders")}, {"audio", core::trNoop("Audio")},
    {"video", core::trNoop("Video")},       {"images", core::trNoop("Images")},   {"docs", core::trNoop("Documents")},
    {"archives", core::trNoop("Archives")},
};
constexpr std::string_view kNewName = core::trNoop("New");

constexpr std::string_view kMembers[] = {"id", "name", "symbol", "patterns"};

}  // namespace

const std::vector<Category>& Category::defaults() {
    static const std::vector<Category> list = {
        {"audio", "", "music.note", "*.mp3;*.flac;*.wav;*.aiff;*.aif;*.m4a;*.ogg;*.wma;*.aac;*.opus;*.alac;*.ape"},
        {"video", "", "film", "*.mp4;*.mov;*.mkv;*.avi;*.m4v;*.wmv;*.webm;*.mpg;*.mpeg;*.flv"},
        {"images", "", "photo",
         "*.jpg;*.jpeg;*.png;*.gif;*.heic;*.tiff;*.tif;*.bmp;*.webp;*.raw;*.cr2;*.nef;*.arw;*.dng;*.svg;*.psd"},
        {"docs", "", "doc.text",
         "*.pdf;*.doc;*.docx;*.xls;*.xlsx;*.ppt;*.pptx;*.txt;*.md;*.rtf;*.pages;*.numbers;*.key;*.csv;*.odt"},
        {"archives", "", "archivebox", "*.zip;*.rar;*.7z;*.tar;*.gz;*.tgz;*.bz2;*.xz;*.dmg;*.iso"},
    };
    return list;
}

Category Category::all() { return {"all", "", "square.grid.2x2", ""}; }
Category Category::folders() { return {"folders", "", "folder", ""}; }

std::string Category::displayName() const {
    if (!name.empty()) return name;
    for (const auto& [knownId, defaultName] : kDefaultNames)
        if (knownId == id) return core::tr(defaultName);
    return core::tr(kNewName);
}

std::optional<core::Term> Category::term() const {
    if (id == "all") return std::nullopt;
    if (id == "folders") return core::Term{.neg = false, .pred = core::Pred::Kind{.dir = true}, .caseSensitive = false};
    return core::Term{
        .neg = false, .pred = core::Pred::Ext{core::ExtPatterns::parse(patterns).exts}, .caseSensitive = false};
}

std::string encodeCategories(const std::vector<Category>& categories) {
    nlohmann::json array = nlohmann::json::array();
    for (const auto& c : categories)
        array.push_back({{"id", c.id}, {"name", c.name}, {"symbol", c.symbol}, {"patterns", c.patterns}});
    return core::writeJSONCompact(array);
}

std::optional<std::vector<Category>> decodeCategories(std::string_view json) {
    const auto value = core::parseJSONStrict(json);
    if (!value || !value->is_array()) return std::nullopt;
    std::vector<Category> list;
    for (const auto& element : *value) {
        if (!element.is_object()) return std::nullopt;
        std::string fields[std::size(kMembers)];
        for (std::size_t i = 0; i < std::size(kMembers); ++i) {
            const auto member = element.find(kMembers[i]);
            if (member == element.end() || !member->is_string()) return std::nullopt;
            fields[i] = member->get<std::string>();
        }
        list.push_back({std::move(fields[0]), std::move(fields[1]), std::move(fields[2]), std::move(fields[3])});
    }
    return list;
}

}  // namespace quorvanta::app
