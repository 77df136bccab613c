// The application's lasting settings of indexing and filtering, one observable object over the
// settings store: the result categories, the include-only extension list, the volumes hidden from
// the results, the per-volume source settings, whether sources were ever configured, and the
// folders chosen for content search. The windows and the application model read, observe and
// change it.
//
// Each field is published: a change first fires objectWillChange(), then the field's observers
// with the new value, and only then is it stored, so an observer still reads the old value. What
// each setter writes to the store:
//   setCategories      the list as JSON under "categories" (the categories editor saves each edit)
//   setIncludeOnly     the text under "includeOnly"
//   setHiddenVolumes   the set as a text list under "hiddenVolumes"
//   setSources         nothing; the caller saves with save(sources(), Prefs::sourcesKey)
//   setConfigured      the boolean under "sourcesConfigured"
//   setContentFolders  the text list under "contentFolders"
// Loading writes nothing. A stored "categories" that does not decode gives the defaults and a
// stored "sources" is read entry by entry (SourceConfig.h); either way the stored text stays as it
// is until the next save replaces it. A value of another kind than expected reads as absent.
//
// Threads: everything belongs to the main thread, where the windows and the model run. The store
// itself may be read from anywhere.
#pragma once

#include "QuorvantaApp/model/prefs/Category.h"
#include "QuorvantaApp/model/prefs/SourceConfig.h"
#include "QuorvantaCore/observe/Published.h"
#include "platform/settings/Settings.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {

class Prefs {
public:
    using Categories = std::vector<Category>;
    using VolumeIds = std::set<std::string, std::less<>>;
    using Folders = std::vector<std::string>;
    template <class T>
    using Receiver = typename core::Signal<T>::Receiver;

    static constexpr std::string_view categoriesKey = "categories";
    static constexpr std::string_view includeOnlyKey = "includeOnly";
    static constexpr std::string_view hiddenVolumesKey = "hiddenVolumes";
    static constexpr std::string_view sourcesKey = "sources";
    static constexpr std::string_view configuredKey = "sourcesConfigured";
    static constexpr std::string_view contentFoldersKey = "contentFolders";

    // Loads every field from `d`, which must outlive the object.
    explicit Prefs(platform::Settings& d);
    Prefs(const Prefs&) = delete;
    Prefs& operator=(const Prefs&) = delete;

    // The process-wide instance over the standard settings store, made on first use.
    static Prefs& shared();

    // The store the settings are written to.
    platform::Settings& d() const { return d_; }

    // Fires before each change of any field.
    core::Signal<>& objectWillChange() { return objectWillChange_; }

    const Categories& categories() const { return categories_.get(); }
    void setCategories(Categories categories);
    core::Connection observeCategories(Receiver<Categories> receiver);

    const std::string& includeOnly() const { return includeOnly_.get(); }
    void setIncludeOnly(std::string includeOnly);
    core::Connection observeIncludeOnly(Receiver<std::string> receiver);

    const VolumeIds& hiddenVolumes() const { return hiddenVolumes_.get(); }
    void setHiddenVolumes(VolumeIds hiddenVolumes);
    core::Connection observeHiddenVolumes(Receiver<VolumeIds> receiver);

    const SourceMap& sources() const { return sources_.get(); }
    void setSources(SourceMap sources);
    core::Connection observeSources(Receiver<SourceMap> receiver);

    bool configured() const { return configured_.get(); }
    void setConfigured(bool configured);
    core::Connection observeConfigured(Receiver<bool> receiver);

    const Folders& contentFolders() const { return contentFolders_.get(); }
    void setContentFolders(Folders contentFolders);
    core::Connection observeContentFolders(Receiver<Folders> receiver);

    // The stored settings of a volume; without any, defaultSource(internal).
    SourceConfig source(std::string_view volumeId, bool internal) const;
    // The settings of a volume the user has not configured: the system disk (`internal`) indexes
    // the personal folders that exist, any other volume is off and whole.
    static SourceConfig defaultSource(bool internal);
    // Whether `sources` holds settings for the volume.
    bool isKnown(std::string_view volumeId) const;
    // The folders to scan: [root] for a whole volume, else each listed folder below the root, in
    // order. A listed folder that is empty or has a ".." component is skipped and leading "/" are
    // dropped, so every scope lies inside the root; no "//" when the root ends in "/".
    static std::vector<std::string> scopes(const SourceConfig& config, std::string_view root);

    // Sets the default categories and saves them.
    void resetCategories();
    // Stores the value's JSON under `key`.
    void save(const Categories& categories, std::string_view key);
    void save(const SourceMap& sources, std::string_view key);

private:
    platform::Settings& d_;
    core::Signal<> objectWillChange_;
    core::Published<Categories> categories_;
    core::Published<std::string> includeOnly_;
    core::Published<VolumeIds> hiddenVolumes_;
    core::Published<SourceMap> sources_;
    core::Published<bool> configured_;
    core::Published<Folders> contentFolders_;
};

}  // namespace quorvanta::app
