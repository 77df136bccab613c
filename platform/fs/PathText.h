// Paths as text: joining a folder and a name, the folder a path lies in, whether a path lies in
// or below a folder, and the lexical normal form. Every part of the system that builds or
// compares paths goes through these, so they all read "/" the same way:
//
// - A path is a list of components separated by runs of "/"; a leading "/" makes it absolute.
//   Repeated and trailing "/" add nothing when paths are compared: "/a//b/" names "/a/b".
// - "/" alone is the root, the folder of every absolute path. An absolute path is never in or
//   below a relative one, nor the other way round.
// - The empty text names no folder: nothing lies in or below it, and joining a name to it gives
//   the name alone.
// - "." and ".." are components like any other, except in `normalisedPath`. Nothing here looks
//   at the file system, so a caller that must see through links resolves them first.
//
// Paths are raw bytes: names need not be UTF-8 and may hold any byte but "/" (a line feed, an
// invalid sequence); they are copied and compared as they are, never repaired.
// Threads: pure functions, safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::platform {

// The folder's path, "/" unless it is empty or already ends in one, and the name: "/" + "x" is
// "/x", "/data/" + "x" is "/data/x", "" + "x" is "x". The name is appended as given; an empty
// name gives the text every path below the folder starts with ("/data" + "" is "/data/").
std::string joinPath(std::string_view folder, std::string_view name);

// `joinPath` in place: `path` becomes the join of itself and `name`, reusing its storage.
void appendToPath(std::string& path, std::string_view name);

// The path without its last component, trailing "/" dropped before and after: "/a/b/" and
// "/a//b" give "/a", "/a" and "/" give "/", a path without "/" gives "".
std::string parentPath(std::string_view path);

// The last component, trailing "/" ignored: "/media/me/Music SSD/" gives "Music SSD", "a" gives
// "a", and "/" and "" give "".
std::string_view lastComponent(std::string_view path);

// Where `path` lies relative to `folder`, by whole components: "" when it names the folder itself,
// the rest of the path after the folder's components and the "/" that follow them when it lies
// below ("/a/b//c" below "/a/" gives "b//c"), none otherwise ("/ab" is not below "/a").
std::optional<std::string_view> pathBelow(std::string_view path, std::string_view folder);

// Whether `path` names `folder` or lies below it: "/mnt" and "/mnt/x" are in "/mnt" and "/mnt/",
// "/mntx" is not; every absolute path is in "/".
inline bool isSameOrUnder(std::string_view path, std::string_view folder) {
    return pathBelow(path, folder).has_value();
}

// The path written without "." and ".." components, repeated "/" or a trailing "/" (except "/"
// itself), worked out on the text alone: "/a/./b/../c/" gives "/a/c", "/.." gives "/", "a/.."
// gives ".", "../a" stays "../a", and "" stays "".
std::string normalisedPath(std::string_view path);

}  // namespace quorvanta::platform
