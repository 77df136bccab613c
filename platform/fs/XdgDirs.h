// The user's base folders as the XDG Base Directory rules define them. A variable that is unset,
// empty or not an absolute path is ignored; the fallback is below the home folder, taken from
// HOME or, when that is unset or empty, from the password database.
//
// The user's standard folders (Desktop, Documents, …) as the desktop names them in
// $XDG_CONFIG_HOME/user-dirs.dirs, read by UserDirs. That file holds shell assignments such as
//     XDG_DOCUMENTS_DIR="$HOME/Dokumente"
// each value in double quotes with backslash escapes, either "$HOME" followed by "/…" or an
// absolute path. A line of another shape is skipped; for the same key a later line wins. A value
// that names the home folder itself means the folder is switched off.
//
// Threads: the functions and UserDirs are safe from any thread (UserDirs is an immutable value).
// Errors: none are reported; a missing, unreadable or oversized file reads as an empty one.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::platform {

std::filesystem::path homeDir();        // "" only when neither HOME nor the passwd entry gives one
std::filesystem::path xdgConfigHome();  // $XDG_CONFIG_HOME or ~/.config
std::filesystem::path xdgDataHome();    // $XDG_DATA_HOME or ~/.local/share

// The standard folders that user-dirs.dirs can name.
enum class UserDir { desktop, documents, download, videos, music, pictures, publicShare, templates };

// "XDG_DESKTOP_DIR", "XDG_DOCUMENTS_DIR", "XDG_DOWNLOAD_DIR", "XDG_VIDEOS_DIR", "XDG_MUSIC_DIR",
// "XDG_PICTURES_DIR", "XDG_PUBLICSHARE_DIR", "XDG_TEMPLATES_DIR".
std::string_view userDirKey(UserDir dir);
// The folder's usual English name in the home folder, used when the file does not name it:
// "Desktop", "Documents", "Downloads", "Videos", "Music", "Pictures", "Public", "Templates".
std::string_view userDirFallbackName(UserDir dir);

// The personal folders a new user's index starts with, in the order they are listed.
inline constexpr std::array<UserDir, 6> kPersonalFolderOrder = {
    UserDir::desktop, UserDir::documents, UserDir::download, UserDir::videos, UserDir::music, UserDir::pictures};

class UserDirs {
public:
    // Reads user-dirs.dirs in xdgConfigHome() against homeDir().
    static UserDirs load();
    // The same from a file's text and a given home folder.
    static UserDirs parse(std::string_view text, const std::filesystem::path& home);

    // The home folder the values were resolved against, without a trailing "/".
    const std::filesystem::path& home() const { return home_; }

    // The folder of `dir`: the file's value ("$HOME" replaced by the home folder, "." and ".."
    // resolved by text, no trailing "/"), else the home folder and the fallback name. None when
    // the folder is switched off (its value names the home folder) or there is no home folder.
    // Whether the folder exists is not checked.
    std::optional<std::filesystem::path> folder(UserDir dir) const;

    // folder() of each of kPersonalFolderOrder in that order, switched-off ones left out, and a
    // folder that two keys name kept once, in its first place. Existence is not checked.
    std::vector<std::filesystem::path> personalFolders() const;

private:
    std::filesystem::path home_;
    std::map<std::string, std::filesystem::path, std::less<>> values_;  // by key, as resolved
};

}  // namespace quorvanta::platform
