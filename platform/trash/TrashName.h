// The names a trashed item may take in a Trash folder. The first choice is the item's own name;
// when that is taken, "stem.2.ext", "stem.3.ext" and so on, the number before the extension
// ("a.txt" → "a.2.txt", "archive.tar.gz" → "archive.tar.2.gz", ".profile" → ".profile.2").
// Every choice leaves room for ".trashinfo" within the 255 bytes a file name may have: a longer
// name loses bytes at the end of its stem, never inside a UTF-8 sequence, and keeps its
// extension and number. The info file keeps the item's full original path, so nothing is lost.
//
// Pure functions; any thread may call them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvanta::platform {

// The longest name an item may take in the Trash: 255 bytes less ".trashinfo".
inline constexpr std::size_t kMaxTrashNameBytes = 255 - std::string_view(".trashinfo").size();

// The `number`th choice of name for an item called `name`, numbered from 1.
std::string trashName(std::string_view name, unsigned number);

}  // namespace quorvanta::platform
