// A path in standard form, worked out on its text alone: "." components and repeated or trailing
// slashes dropped, each ".." removing the component before it (at the root it stays at the root).
// No link is looked up and nothing on disk is touched, so the form is the same for files that
// exist and for paths that a DJ library lists but that are gone. Pure, safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace quorvanta::core::dj {

// "/a/./b//../c/" gives "/a/c"; "/.." gives "/"; a relative path keeps leading ".." components
// ("../x" stays "../x"); "a/.." and "." give ".", "" stays "".
std::string standardPath(std::string_view path);

// A name joined to a folder: "/a" and "b" give "/a/b", "/" and "b" give "/b", "" and "b" give "b".
std::string childPath(std::string_view folder, std::string_view name);

// The last component of a path in standard form ("" for "/").
std::string_view lastComponent(std::string_view standard);

}  // namespace quorvanta::core::dj
