// Finding the DJ libraries of the home folder and the drives.
#include "QuorvantaCore/dj/DJLibraries.h"

#include "QuorvantaCore/dj/DriveRoots.h"
#include "platform/fs/PathText.h"
#include "platform/fs/XdgDirs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace quorvanta::core {
namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The names in a folder in the order the file system lists them; none when it cannot be listed.
std::vector<std::string> listing(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

// The folders in standard form, each once, in their first place.
std::vector<std::string> distinct(const std::vector<std::string>& folders) {
    std::vector<std::string> out;
    for (const auto& folder : folders) {
        std::string standard = platform::normalisedPath(folder);
        if (std::find(out.begin(), out.end(), standard) == out.end()) out.push_back(std::move(standard));
    }
    return out;
}

// The home's folder `name` (none without a home), then the desktop's own folder for `dir` when it is another one.
std::vector<std::string> homeFolders(const std::string& home, const platform::UserDirs& userDirs, platform::UserDir dir,
                                     std::string_view name) {
    std::vector<std::string> folders;
    if (!home.empty()) folders.push_back(platform::joinPath(home, name));
    if (const auto own = userDirs.folder(dir)) folders.push_back(own->string());
    return distinct(folders);
}

}  // namespace

std::shared_ptr<DJLibraries> DJLibraries::discover(const std::string& home,
                                                   const std::optional<std::vector<std::string>>& volumes) {
    const auto userDirs = platform::UserDirs::load();
    return discover(Places{
        .home = home,
        .documents = homeFolders(home, userDirs, platform::UserDir::documents, "Documents"),
        .music = homeFolders(home, userDirs, platform::UserDir::music, "Music"),
        .volumes = volumes ? *volumes : dj::externalDriveRoots(),
    });
}

std::shared_ptr<DJLibraries> DJLibraries::discover(const Places& places) {
    const std::vector<std::string> volumes = distinct(places.volumes);
    auto libraries = std::make_shared<DJLibraries>(volumes);

    // Traktor keeps one collection per installed version, in "Traktor <version>" folders.
    for (const auto& documents : distinct(places.documents)) {
        const std::string nativeInstruments = platform::joinPath(documents, "Native Instruments");
        for (const auto& name : listing(nativeInstruments)) {
            if (!name.starts_with("Traktor")) continue;
            const std::string collection =
                platform::joinPath(platform::joinPath(nativeInstruments, name), "collection.nml");
            if (isRegularFile(collection)) libraries->addNML(collection);
        }
    }

    // Engine DJ: one database per root, the newer layout first.
    std::vector<std::string> engineRoots = places.music;
    engineRoots.insert(engineRoots.end(), volumes.begin(), volumes.end());
    for (const auto& root : distinct(engineRoots)) {
        const std::string library = platform::joinPath(root, "Engine Library");
        for (const char* database : {"Database2/m.db", "m.db"}) {
            const std::string path = platform::joinPath(library, database);
            if (!isRegularFile(path)) continue;
            libraries->addEngine(path, library);
            break;
        }
    }

    // rekordbox: a drive's export, then the home's own library. Their tracks are not read.
    for (const auto& root : volumes) {
        if (!exists(platform::joinPath(root, "PIONEER/rekordbox/export.pdb"))) continue;
        libraries->rekordboxVolumes_.push_back(root);
        libraries->sources_.push_back({Kind::rekordbox, platform::joinPath(root, "PIONEER")});
    }
    const std::string master = places.home.empty() ? std::string()
                                                   : platform::joinPath(platform::normalisedPath(places.home),
                                                                        "Library/Pioneer/rekordbox/master.db");
    if (!master.empty() && exists(master)) {
        libraries->rekordboxHome_ = true;
        libraries->sources_.push_back({Kind::rekordbox, master});
    }
    return libraries;
}

}  // namespace quorvanta::core
