// Which DJ library may use a file or folder, asked before a rename or a move to the Trash so the
// user can be warned before a DJ's track list loses a file.
//
// `discover` finds the libraries of three DJ programs in the home folder and on the drives:
// Traktor collections and Engine DJ databases, whose track paths are read, and rekordbox
// libraries, whose files are only tested for existence (their tracks cannot be read, so every
// audio file and folder where one lives may be in it). `hits` then answers for one path.
//
// Paths are compared in a normalised form: the path in standard form (platform::normalisedPath), composed
// (NFC) and lower-cased without a locale, so letter case and Unicode composition do not count.
// Bytes that are not UTF-8 are compared as they are.
//
// Library files are only read: collections are opened read-only, databases through an immutable
// read-only URI (EngineDatabase.h), and nothing is ever written.
//
// Threads: no locks. An object is built by one thread and afterwards only read; reads from
// several threads at once are safe. Errors: none are reported. A folder that cannot be listed
// counts as empty, an unreadable collection or database counts as absent, and a collection or
// query that breaks off part-way contributes what was read before.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace quorvanta::core {

class DJLibraries {
public:
    enum class Kind { traktor, engine, rekordbox };

    // A library that may use a path: certain when the path (or, for a folder, a track inside it)
    // is in the library's track list; uncertain when the library's list cannot be read.
    struct Hit {
        Kind kind;
        bool certain;
        friend bool operator==(const Hit&, const Hit&) = default;
    };

    // A library found: its kind and the file or folder that was found.
    struct Source {
        Kind kind;
        std::string path;
        friend bool operator==(const Source&, const Source&) = default;
    };

    // The ten lower-case file extensions a rekordbox library may hold.
    static const std::set<std::string, std::less<>>& audioExtensions();

    // The folders where the libraries are looked for.
    struct Places {
        std::string home;                    // for rekordbox's home database
        std::vector<std::string> documents;  // each may hold "Native Instruments/Traktor*"
        std::vector<std::string> music;      // each may hold "Engine Library"
        std::vector<std::string> volumes;    // drive roots: exports, and Traktor's VOLUME
    };

    // Finds the libraries of the home folder and the drives. `volumes` are the drive roots; none
    // means the drives mounted now (DriveRoots.h). The documents and music folders are the
    // home's "Documents" and "Music", each followed by the XDG user folder when it differs.
    static std::shared_ptr<DJLibraries> discover(const std::string& home,
                                                 const std::optional<std::vector<std::string>>& volumes);
    // The same over folders given outright, in this order: Traktor in each documents folder,
    // Engine DJ in each music folder and then on each drive, rekordbox exports on the drives,
    // rekordbox in the home.
    static std::shared_ptr<DJLibraries> discover(const Places& places);

    // An empty object; `volumeRoots` are the drive roots a Traktor VOLUME attribute names.
    explicit DJLibraries(std::vector<std::string> volumeRoots = {});

    // Reads one Traktor collection into `exact(traktor)` and lists it as a source, also when no
    // track was read. Nothing is recorded when it is not a regular file or cannot be opened.
    void addNML(const std::string& path);
    // Reads one Engine DJ database into `exact(engine)` and lists it as a source. Relative track
    // paths are relative to `library`, the "Engine Library" folder. A database that cannot be
    // opened or queried leaves no trace.
    void addEngine(const std::string& database, const std::string& library);

    // The normalised form of a text: NFC, then lower case (no locale).
    static std::string normalize(std::string_view text);

    // The libraries that may use the file or folder at `path`: at most one hit per kind, in the
    // order traktor, engine, rekordbox.
    std::vector<Hit> hits(std::string_view path, bool isDir) const;

    // Normalised track paths per kind; only traktor and engine are ever filled.
    const std::map<Kind, std::unordered_set<std::string>>& exact() const { return exact_; }
    bool rekordboxHome() const { return rekordboxHome_; }
    const std::vector<std::string>& rekordboxVolumes() const { return rekordboxVolumes_; }
    // Every library found, in the order of discovery; empty when there is none.
    const std::vector<Source>& sources() const { return sources_; }

private:
    std::vector<std::string> volumeRoots_;  // in standard form
    std::map<Kind, std::unordered_set<std::string>> exact_;
    bool rekordboxHome_ = false;
    std::vector<std::string> rekordboxVolumes_;
    std::vector<Source> sources_;
};

// "Traktor", "Engine DJ", "Rekordbox": the names shown to the user.
std::string_view rawValue(DJLibraries::Kind kind);

}  // namespace quorvanta::core
