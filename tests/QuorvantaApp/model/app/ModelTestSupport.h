// An application model over fakes: the manual main queue over a fake clock, settings in memory,
// preferences over them, a temporary data folder, a scripted drive list, a mount table of one
// virtual file system (so no volume has a UUID and none is on a network), a content index outside
// the data folder whose every request is counted, and a catalog loader that counts its loads. The
// search and scan queues are the model's own, real threads.
#pragma once

#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaCore/content/ContentIndex.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/lang/Lang.h"
#include "QuorvantaCore/search/Searcher.h"
#include "platform/dispatch/ManualMainQueue.h"
#include "platform/settings/Settings.h"
#include "platform/time/Clock.h"
#include "tests/QuorvantaCore/search/InMemoryIndex.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quorvanta::app::test {

namespace fs = std::filesystem;
using core::test::IndexEntry;

class ScriptedCandidates final : public CandidatesProvider {
public:
    std::vector<Candidate> candidates() const override { return list; }
    std::vector<Candidate> list;
};

class ModelWorld {
public:
    ModelWorld() {
        fs::create_directories(data());
        core::Lang::shared().setChoice("en");
    }

    fs::path data() const { return dir / "data"; }

    AppModel::Dependencies deps() { return deps(main); }
    // The same services over another main queue (the Qt shell's tests use the Qt one).
    AppModel::Dependencies deps(platform::MainQueue& on) {
        AppModel::Dependencies d(on);
        d.prefs = &prefs;
        d.defaults = &settings;
        d.dataFolder = data();
        d.candidates = drives;
        d.content = [this] {
            ++contentAsked;
            if (!content) content = std::make_shared<core::ContentIndex>((dir / "content.sqlite").string());
            return content;
        };
        d.mounts = [] {
            platform::MountEntry tmp;
            tmp.mountID = 1;
            tmp.root = "/";
            tmp.mountPoint = "/";
            tmp.fsType = "tmpfs";
            tmp.source = "tmpfs";
            return VolumeContext::MountTable(std::vector<platform::MountEntry>{tmp});
        };
        d.resume = [](const core::SnapshotInfo&, const std::string&, const platform::MountEntry*) {
            return std::optional<core::VolumeID::Resume>(core::VolumeID::Resume::reconcile);
        };
        d.loadCatalog = [this](const std::string& path) {
            catalogLoads.push_back(fs::path(path).filename().string());
            return core::VolumeIndex::load(path, {});
        };
        return d;
    }

    std::shared_ptr<AppModel> make(std::vector<std::string> roots, bool persist) {
        return AppModel::create(std::move(roots), persist, deps());
    }

    // Waits for the searches queued so far and for a global order being built (its end searches
    // again), and runs what they posted, until that starts no more work on the main queue: after
    // it, the newest search has published (or had nothing to publish). Other work on `bg` is
    // waited for by its own outcome (`main.waitUntil`).
    void settle(AppModel& model) {
        do {
            main.waitUntil([&] { return !model.globalBuilding(); });
            model.queue().sync([] {});
        } while (main.drain() > 0);
    }

    platform::FakeClock clock;
    platform::ManualMainQueue main{clock};
    platform::MemorySettings settings;
    Prefs prefs{settings};
    quorvanta::test::TempDir dir;
    std::shared_ptr<ScriptedCandidates> drives = std::make_shared<ScriptedCandidates>();
    std::shared_ptr<core::ContentIndex> content;
    int contentAsked = 0;
    std::vector<std::string> catalogLoads;
};

// Holds the first thread that calls `hold` until `release`; later calls pass.
class Gate {
public:
    void hold() {
        std::unique_lock lock(mutex_);
        if (calls_++ > 0) return;
        held_.set_value();
        opened_.wait(lock, [this] { return open_; });
    }
    void waitUntilHeld() { held_.get_future().wait(); }
    void release() {
        std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    std::promise<void> held_;
    int calls_ = 0;
    bool open_ = false;
};

// A volume given its entries: the root entry (named by the volume's root) and then `entries`,
// whose parents count the root as entry 0. The volume stops scanning.
inline void fill(VolumeState& volume, std::vector<IndexEntry> entries) {
    entries.insert(entries.begin(), IndexEntry{volume.root()});
    for (std::size_t i = 1; i < entries.size(); ++i)
        if (entries[i].parent == FIDX_NONE) entries[i].parent = 0;
    core::test::appendEntries(*volume.index(), entries);
    volume.scanning.set(false);
}

// Entry names of a result's rows as "<volume position>:<name>".
inline std::vector<std::string> rowNames(const ResultSet& results) {
    std::vector<std::string> names;
    for (const RowKey row : results.rows())
        names.push_back(std::to_string(rowPosition(row)) + ":" +
                        results.vols()[rowPosition(row)]->index()->name(rowEntry(row)));
    return names;
}

}  // namespace quorvanta::app::test
