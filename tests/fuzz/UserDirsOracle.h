// The properties every user-dirs.dirs text must keep, shared by the fuzz harness and the unit
// test's seeded mutations: any bytes give, for each standard folder, either none or an absolute
// path without "." or ".." components and without a trailing "/" that is not the home folder
// itself; the personal folders are such paths, at most six, each once.
#pragma once

#include "platform/fs/XdgDirs.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

namespace quorvanta::fuzz {

inline bool userDirsKeepTheirShape(std::string_view bytes) {
    using platform::UserDir;
    const auto dirs = platform::UserDirs::parse(bytes, "/home/u");
    const auto tidy = [&](const std::filesystem::path& p) {
        const std::string text = p.string();
        return p.is_absolute() && p == p.lexically_normal() && (text == "/" || !text.ends_with('/')) &&
               p != dirs.home() && text.find('\0') == std::string::npos;
    };
    for (const UserDir dir : {UserDir::desktop, UserDir::documents, UserDir::download, UserDir::videos, UserDir::music,
                              UserDir::pictures, UserDir::publicShare, UserDir::templates}) {
        if (const auto folder = dirs.folder(dir); folder && !tidy(*folder)) return false;
    }
    const auto personal = dirs.personalFolders();
    if (personal.size() > platform::kPersonalFolderOrder.size()) return false;
    for (std::size_t i = 0; i < personal.size(); ++i) {
        if (!tidy(personal[i])) return false;
        if (std::find(personal.begin(), personal.begin() + static_cast<std::ptrdiff_t>(i), personal[i]) !=
            personal.begin() + static_cast<std::ptrdiff_t>(i))
            return false;
    }
    return true;
}

}  // namespace quorvanta::fuzz
