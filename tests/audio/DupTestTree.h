// Real folders of audio-named files for the duplicate finder's tests: files written with chosen
// bytes, scanned into volume indexes, and looked up by path.
#pragma once

#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "audio/dupes/DuplicateFinder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quorvanta::audio::test {

inline std::string seededBytes(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (auto& c : bytes) c = static_cast<char>(rng() & 0xFF);
    return bytes;
}

inline std::shared_ptr<core::VolumeIndex> scanned(const std::filesystem::path& root) {
    return core::VolumeIndex::scanned({root.string()}, 2);
}

// The entry of path in volume; fails the test when it is not there.
inline std::int64_t entryOf(const core::VolumeIndex& volume, const std::filesystem::path& path) {
    for (std::uint32_t i = 0; i < volume.count(); ++i) {
        if (volume.path(i) == path.string()) return i;
    }
    ADD_FAILURE() << path << " is not in the index";
    return -1;
}

// Gives every listed file of the volume its facts.
inline void attach(core::VolumeIndex& volume,
                   const std::vector<std::pair<std::filesystem::path, core::AudioMeta>>& facts) {
    auto table = std::make_shared<core::AudioTable>();
    std::vector<core::AudioTable::Row> rows;
    for (const auto& [path, meta] : facts) rows.push_back({entryOf(volume, path), 0, meta});
    table->upsert(rows);
    volume.setAudio(table);
}

// The member paths of a group, and of each group in order.
inline std::set<std::string> memberPaths(const DupGroup& group) {
    std::set<std::string> out;
    for (const DupMember& m : group.members) out.insert(m.path);
    return out;
}

inline std::vector<std::set<std::string>> memberPathSets(const std::vector<DupGroup>& groups) {
    std::vector<std::set<std::string>> out;
    for (const DupGroup& g : groups) out.push_back(memberPaths(g));
    return out;
}

// Every report of a run, in order; safe from the finder's worker threads.
class ProgressLog {
public:
    DuplicateFinder::ProgressFn callback() {
        return [this](const DuplicateFinder::Progress& p) {
            std::lock_guard guard(mutex_);
            reports_.push_back(p);
        };
    }
    std::vector<DuplicateFinder::Progress> reports() const {
        std::lock_guard guard(mutex_);
        return reports_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<DuplicateFinder::Progress> reports_;
};

}  // namespace quorvanta::audio::test

namespace quorvanta::audio {

inline std::ostream& operator<<(std::ostream& out, const DuplicateFinder::Progress& p) {
    return out << "{stage " << rawValue(p.stage) << ", " << p.done << "/" << p.total << ", groups " << p.groups << "}";
}

}  // namespace quorvanta::audio
