// The file type of an extension, from the shared MIME database (QMimeDatabase, matching by
// extension only): its description in the language of QLocale's default locale, which the shell
// sets from the interface language, and its icon names. The cell context caches both per
// extension.
//
// Threads: any thread (QMimeDatabase may be used from several at once).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::app {

struct FileType {
    // None when the database knows no type for the extension.
    std::optional<std::string> description;
    std::string icon;         // freedesktop icon name of the type ("audio-mpeg")
    std::string genericIcon;  // its generic icon name ("audio-x-generic")
};

// The type of files named "x.<ext>"; `ext` without the dot, any bytes (ill-formed UTF-8 is
// repaired first).
FileType fileTypeOf(std::string_view ext);

// The extension in upper case ("mp3" gives "MP3"), ill-formed UTF-8 repaired.
std::string upperExtension(std::string_view ext);

}  // namespace quorvanta::app
