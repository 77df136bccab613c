// Whether a path names a folder or lies inside it, compared by whole components on the text as
// given: "/mnt" and "/mnt/x" are under "/mnt", "/mntx" is not. Callers resolve links first.
#pragma once

#include <string_view>

namespace quorvanta::platform {

bool isSameOrUnder(std::string_view path, std::string_view folder);

}  // namespace quorvanta::platform
