// The properties every Engine DJ database file must keep, shared by the fuzz harness and the
// unit test's seeded mutations: any bytes in the file are read without a fault; the file keeps
// its bytes and nothing appears beside it ("-wal", "-shm", "-journal"); a database that was read
// is listed as the one source, and every track path it gave is absolute and in standard form.
#pragma once

#include "QuorvantaCore/dj/DJLibraries.h"
#include "platform/fs/PathText.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace quorvanta::fuzz {

inline bool engineReadIsSound(std::string_view bytes, const std::filesystem::path& folder) {
    const std::filesystem::path database = folder / "m.db";
    {
        std::ofstream out(database, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return true;  // nothing to test without the file
    }
    core::DJLibraries libraries;
    libraries.addEngine(database.string(), (folder / "Engine Library").string());

    std::ifstream in(database, std::ios::binary);
    const std::string after{std::istreambuf_iterator<char>(in), {}};
    if (after != bytes) return false;
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        if (std::filesystem::exists(database.string() + suffix)) return false;

    const auto& sources = libraries.sources();
    const auto tracks = libraries.exact().find(core::DJLibraries::Kind::engine);
    if (sources.empty()) return tracks == libraries.exact().end();
    if (sources.size() != 1 || sources[0].kind != core::DJLibraries::Kind::engine ||
        sources[0].path != database.string() || tracks == libraries.exact().end())
        return false;
    for (const auto& track : tracks->second)
        if (track.empty() || track.front() != '/' || platform::normalisedPath(track) != track) return false;
    return true;
}

}  // namespace quorvanta::fuzz
