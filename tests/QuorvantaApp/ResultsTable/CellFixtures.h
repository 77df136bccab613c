// Volume states for the cell tests: online ones (internal or external) whose empty index is filled
// from a list of entries or by scanning a folder, and offline catalogs over an index. The context
// knows no mounts and no snapshots, so nothing outside the test's own entries is read.
#pragma once

#include "QuorvantaApp/model/volume/VolumeState.h"
#include "tests/QuorvantaCore/search/InMemoryIndex.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app::test {

struct Drive {
    std::string name{};
    std::string root{};
    bool isInternal = false;
    std::string displayPrefix{};
};

// An online volume state whose index holds `entries` (InMemoryIndex.h: the first is the root).
std::shared_ptr<VolumeState> onlineVolume(const Drive& drive, const std::vector<core::test::IndexEntry>& entries);
// An online volume state whose index is a scan of the folder `drive.root`.
std::shared_ptr<VolumeState> scannedVolume(const Drive& drive);
// The offline catalog of a drive, over `index`.
std::shared_ptr<VolumeState> offlineVolume(const std::string& name, const std::string& root,
                                           std::shared_ptr<core::VolumeIndex> index);

// The first entry whose name is `name`; the test fails when there is none.
std::uint32_t entryNamed(const core::VolumeIndex& index, std::string_view name);

}  // namespace quorvanta::app::test
