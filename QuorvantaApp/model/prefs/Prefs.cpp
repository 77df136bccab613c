#include "QuorvantaApp/model/prefs/Prefs.h"

#include "platform/fs/PathText.h"

namespace quorvanta::app {
namespace {

Prefs::Categories loadCategories(const platform::Settings& d) {
    const auto stored = d.data(Prefs::categoriesKey);
    auto decoded = stored ? decodeCategories(*stored) : std::nullopt;
    Prefs::Categories list = decoded ? std::move(*decoded) : Category::defaults();
    for (auto& category : list) {
        for (const auto& [id, legacy] : Category::legacyNames)
            if (category.id == id && category.name == legacy) category.name.clear();
    }
    return list;
}

Prefs::VolumeIds loadVolumeIds(const platform::Settings& d) {
    const auto list = d.textList(Prefs::hiddenVolumesKey);
    return list ? Prefs::VolumeIds(list->begin(), list->end()) : Prefs::VolumeIds{};
}

SourceMap loadSources(const platform::Settings& d) {
    const auto stored = d.data(Prefs::sourcesKey);
    return stored ? decodeSources(*stored) : SourceMap{};
}

bool hasParentComponent(std::string_view path) {
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        if (path.substr(0, slash) == "..") return true;
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return false;
}

}  // namespace

Prefs::Prefs(platform::Settings& d)
    : d_(d),
      categories_(loadCategories(d), &objectWillChange_),
      includeOnly_(d.text(includeOnlyKey).value_or(""), &objectWillChange_),
      hiddenVolumes_(loadVolumeIds(d), &objectWillChange_),
      sources_(loadSources(d), &objectWillChange_),
      configured_(d.boolean(configuredKey).value_or(false), &objectWillChange_),
      contentFolders_(d.textList(contentFoldersKey).value_or(Folders{}), &objectWillChange_) {}

Prefs& Prefs::shared() {
    // Never destroyed, like the store under it: code running at exit may still read it.
    static Prefs* const prefs = new Prefs(platform::standardSettings());
    return *prefs;
}

void Prefs::setCategories(Categories categories) {
    categories_.set(std::move(categories));
    save(categories_.get(), categoriesKey);
}

void Prefs::setIncludeOnly(std::string includeOnly) {
    includeOnly_.set(std::move(includeOnly));
    d_.setText(includeOnlyKey, includeOnly_.get());
}

void Prefs::setHiddenVolumes(VolumeIds hiddenVolumes) {
    hiddenVolumes_.set(std::move(hiddenVolumes));
    d_.setTextList(hiddenVolumesKey, std::vector<std::string>(hiddenVolumes_->begin(), hiddenVolumes_->end()));
}

void Prefs::setSources(SourceMap sources) { sources_.set(std::move(sources)); }

void Prefs::setConfigured(bool configured) {
    configured_.set(configured);
    d_.setBoolean(configuredKey, configured);
}

void Prefs::setContentFolders(Folders contentFolders) {
    contentFolders_.set(std::move(contentFolders));
    d_.setTextList(contentFoldersKey, contentFolders_.get());
}

core::Connection Prefs::observeCategories(Receiver<Categories> receiver) {
    return categories_.observe(std::move(receiver));
}
core::Connection Prefs::observeIncludeOnly(Receiver<std::string> receiver) {
    return includeOnly_.observe(std::move(receiver));
}
core::Connection Prefs::observeHiddenVolumes(Receiver<VolumeIds> receiver) {
    return hiddenVolumes_.observe(std::move(receiver));
}
core::Connection Prefs::observeSources(Receiver<SourceMap> receiver) { return sources_.observe(std::move(receiver)); }
core::Connection Prefs::observeConfigured(Receiver<bool> receiver) { return configured_.observe(std::move(receiver)); }
core::Connection Prefs::observeContentFolders(Receiver<Folders> receiver) {
    return contentFolders_.observe(std::move(receiver));
}

SourceConfig Prefs::source(std::string_view volumeId, bool internal) const {
    if (const auto found = sources_->find(volumeId); found != sources_->end()) return found->second;
    return defaultSource(internal);
}

SourceConfig Prefs::defaultSource(bool internal) {
    if (internal) return {.enabled = true, .whole = false, .folders = SourceConfig::personalFolders(), .rescan = {}};
    return {.enabled = false, .whole = true, .folders = {}, .rescan = {}};
}

bool Prefs::isKnown(std::string_view volumeId) const { return sources_->contains(volumeId); }

std::vector<std::string> Prefs::scopes(const SourceConfig& config, std::string_view root) {
    if (config.whole) return {std::string(root)};
    std::vector<std::string> scopes;
    for (std::string_view folder : config.folders) {
        while (folder.starts_with('/')) folder.remove_prefix(1);
        if (folder.empty() || hasParentComponent(folder)) continue;
        scopes.push_back(platform::joinPath(root, folder));
    }
    return scopes;
}

void Prefs::resetCategories() { setCategories(Category::defaults()); }

void Prefs::save(const Categories& categories, std::string_view key) { d_.setData(key, encodeCategories(categories)); }

void Prefs::save(const SourceMap& sources, std::string_view key) { d_.setData(key, encodeSources(sources)); }

}  // namespace quorvanta::app
