#include "QuorvantaCore/dj/DJLibraries.h"

#include "QuorvantaCore/dj/EngineDatabase.h"
#include "QuorvantaCore/dj/NMLReader.h"
#include "QuorvantaCore/text/Case.h"
#include "QuorvantaCore/text/Nfc.h"
#include "platform/fs/PathText.h"

#include <algorithm>

namespace quorvanta::core {
namespace {

std::string normalizedPath(std::string_view path) { return DJLibraries::normalize(platform::normalisedPath(path)); }

// What a path inside the folder `normalized` starts with; the root's children start with "/".
std::string insidePrefix(std::string_view normalized) {
    std::string prefix(normalized);
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    return prefix;
}

// The lower-case extension of the path's last component; a name that starts with its only dot
// (".mp3") has none.
std::string extensionOf(std::string_view path) {
    const std::string_view name = platform::lastComponent(path);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return text::lowercased(name.substr(dot + 1));
}

}  // namespace

std::string_view rawValue(DJLibraries::Kind kind) {
    switch (kind) {
        case DJLibraries::Kind::traktor:
            return "Traktor";
        case DJLibraries::Kind::engine:
            return "Engine DJ";
        case DJLibraries::Kind::rekordbox:
            return "Rekordbox";
    }
    return {};
}

const std::set<std::string, std::less<>>& DJLibraries::audioExtensions() {
    static const std::set<std::string, std::less<>> extensions{"mp3", "wav", "aiff", "aif",  "flac",
                                                               "m4a", "aac", "ogg",  "alac", "mp4"};
    return extensions;
}

DJLibraries::DJLibraries(std::vector<std::string> volumeRoots) : volumeRoots_(std::move(volumeRoots)) {
    for (auto& root : volumeRoots_) root = platform::normalisedPath(root);
}

std::string DJLibraries::normalize(std::string_view text) { return text::lowercased(text::nfc(text)); }

void DJLibraries::addNML(const std::string& path) {
    std::vector<std::string> paths;
    const auto read = dj::readNMLFile(path, [&](const dj::NMLLocation& location) {
        const std::string track = dj::nmlTrackPath(location);
        paths.push_back(track);
        if (location.volume.empty()) return;
        // A drive that another computer named VOLUME is mounted on a folder of that name here.
        for (const auto& root : volumeRoots_)
            if (platform::lastComponent(root) == location.volume) paths.push_back(platform::joinPath(root, track));
    });
    if (read == dj::NMLFileRead::notOpened) return;
    auto& tracks = exact_[Kind::traktor];
    for (const auto& track : paths) tracks.insert(normalizedPath(track));
    sources_.push_back({Kind::traktor, path});
}

void DJLibraries::addEngine(const std::string& database, const std::string& library) {
    std::unordered_set<std::string> tracks;
    const bool read = dj::readEngineTrackPaths(database, [&](std::string_view track) {
        // A relative path is relative to the library folder: "../a.mp3" lies beside it.
        tracks.insert(normalizedPath(track.front() == '/' ? std::string(track) : platform::joinPath(library, track)));
    });
    if (!read) return;
    exact_[Kind::engine].merge(tracks);
    sources_.push_back({Kind::engine, database});
}

std::vector<DJLibraries::Hit> DJLibraries::hits(std::string_view path, bool isDir) const {
    std::vector<Hit> found;
    const std::string n = normalizedPath(path);
    const std::string prefix = insidePrefix(n);
    for (const Kind kind : {Kind::traktor, Kind::engine}) {
        const auto set = exact_.find(kind);
        if (set == exact_.end()) continue;
        // A folder is used when a listed track lies inside it: a walk over the whole list.
        if (set->second.contains(n) ||
            (isDir && std::any_of(set->second.begin(), set->second.end(),
                                  [&](const std::string& track) { return track.starts_with(prefix); })))
            found.push_back({kind, true});
    }
    if (!isDir && !audioExtensions().contains(extensionOf(n))) return found;
    const bool onExportDrive =
        std::any_of(rekordboxVolumes_.begin(), rekordboxVolumes_.end(),
                    [&](const std::string& root) { return n.starts_with(insidePrefix(normalizedPath(root))); });
    if (rekordboxHome_ || onExportDrive) found.push_back({Kind::rekordbox, false});
    return found;
}

}  // namespace quorvanta::core
