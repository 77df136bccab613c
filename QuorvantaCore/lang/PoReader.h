// A reader of gettext PO files, the format of the translation files under lang/: it gives the
// table from each English text (msgid) to its translation (msgstr).
//
// Understood: comments ("#", "#.", "#:", "#|", obsolete "#~" entries, all skipped), the flags
// line ("#, fuzzy, …"), msgctxt, msgid, msgid_plural, msgstr and msgstr[N], strings continued
// over several lines, the C escapes (\n \t \" \\ and the rest, octal and \x), a UTF-8 byte-order
// mark and CRLF line ends.
//
// Left out of the table, so the English text shows: the header entry (empty msgid), fuzzy
// entries, empty translations, plural entries and entries with a context (the system's texts
// have neither), texts that are not valid UTF-8, and translations whose placeholders differ from
// their key's (TextFormat.h), which would insert values that are not there. Of two entries for
// one msgid the first counts.
//
// A file that breaks the syntax gives no table at all. Pure functions; any thread may call them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quorvanta::core {

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// English text → translated text.
using StringTable = std::unordered_map<std::string, std::string, TextHash, std::equal_to<>>;

// The translations in the bytes of a PO file, or none when its syntax is broken.
std::optional<StringTable> readPo(std::string_view bytes);

// Files larger than this are refused unread.
inline constexpr std::size_t kMaxPoFileBytes = 16u << 20;

// The translations in the file at `path`, or none when it is missing, unreadable, too large or
// broken.
std::optional<StringTable> readPoFile(const std::filesystem::path& path);

}  // namespace quorvanta::core
