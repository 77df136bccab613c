// VolumeState: the application's live state of one indexed volume — a whole drive, a set of
// folders on it, or the offline catalog of a drive that is not connected. It owns the volume's
// index, its searcher and, once started, its file-event watcher; it records the configuration the
// index was built for and how a loaded snapshot catches up, and keeps the bookkeeping of the
// background work on the volume. Its published fields are what the windows show of it.
//
// A state is owned through std::shared_ptr (result sets hold the states they show) and has no
// equality of its own: two states are told apart by identity. Lists key them by `id()`, the root.
//
// Construction:
//   online   checks the volume's snapshot in the data directory and loads it only when persisting
//            and loading are on, the header's uuid, root and configuration hash match, fewer than
//            a quarter of its entries are deleted and the resume rule gives a mode; the state then
//            starts `updating`. Otherwise it starts `scanning` with an empty index; the file stays
//            as it was. Starts nothing: scans, catch-ups and the watcher are started by the model.
//   offline  a catalog over an index its caller loaded.
// Neither fails.
//
// Threads: construction, the variables and the published fields belong to the main thread. The
// fixed fields (the accessors) never change after construction and may be read from any thread;
// `index` and `searcher` carry their own locks.
#pragma once

#include "QuorvantaApp/model/volume/VolumeContext.h"
#include "QuorvantaCore/index/SnapshotInfo.h"
#include "QuorvantaCore/index/VolumeID.h"
#include "QuorvantaCore/observe/Published.h"
#include "QuorvantaCore/observe/Signal.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvanta::core {
class Searcher;
class VolumeIndex;
class VolumeWatcher;
}  // namespace quorvanta::core

namespace quorvanta::app {

class VolumeState : public std::enable_shared_from_this<VolumeState> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    using Date = std::chrono::system_clock::time_point;
    // Earlier than any date the system records: "never".
    static constexpr Date distantPast{};

    // The online constructor's arguments.
    struct Online {
        std::string name;
        std::string root;
        std::string displayPrefix;
        bool isInternal = false;
        std::vector<std::string> excludes;     // the model's excluded full paths
        std::vector<std::string> scopes;       // the folders to index; [root] for a whole volume
        std::vector<std::string> includeExts;  // extensions scans keep; empty keeps all
        bool persist = true;                   // snapshots and the content index are used
        bool loadSnapshot = true;              // false for a rescan's replacement: start empty
    };

    // The offline constructor's arguments: a catalog's name, root, snapshot file and the index
    // loaded from it (not null) with its header.
    struct Offline {
        std::string name;
        std::string root;
        std::string snapshotPath;
        std::shared_ptr<core::VolumeIndex> index;
        core::SnapshotInfo info;
    };

    static std::shared_ptr<VolumeState> create(const Online& online, const VolumeContext& context);
    static std::shared_ptr<VolumeState> create(Offline catalog, const VolumeContext& context);

    VolumeState(Passkey, const Online& online, const VolumeContext& context);
    VolumeState(Passkey, Offline catalog, const VolumeContext& context);
    VolumeState(const VolumeState&) = delete;
    VolumeState& operator=(const VolumeState&) = delete;
    ~VolumeState();

    // Fixed at construction.
    const std::string& id() const { return root_; }
    const std::string& name() const { return name_; }
    const std::string& root() const { return root_; }
    const std::string& displayPrefix() const { return displayPrefix_; }
    bool isInternal() const { return isInternal_; }
    const std::shared_ptr<core::VolumeIndex>& index() const { return index_; }
    const std::shared_ptr<core::Searcher>& searcher() const { return searcher_; }
    // The identifier in file names and the scan-times table: the volume UUID, else
    // "path-<fnv of the root in lower-case hexadecimal>".
    const std::string& uuid() const { return uuid_; }
    const std::string& snapshotPath() const { return snapshotPath_; }
    const std::vector<std::string>& scopes() const { return scopes_; }
    const std::vector<std::string>& includeExts() const { return includeExts_; }
    std::uint64_t configHash() const { return configHash_; }
    // The header of the snapshot the index was loaded from.
    const std::optional<core::SnapshotInfo>& loaded() const { return loaded_; }
    // How the loaded snapshot catches up; none: a full scan.
    std::optional<core::VolumeID::Resume> resume() const { return resume_; }
    bool isNetwork() const { return isNetwork_; }
    // The key of the volume's source settings: the volume UUID, else the root.
    const std::string& prefKey() const { return prefKey_; }

    // The path as shown to the user: without `displayPrefix` when the path is that folder or lies
    // inside it ("/" for the folder itself); otherwise, or with an empty prefix, unchanged.
    std::string displayPath(const std::string& path) const;

    // Fires before each change of any published field.
    core::Signal<> objectWillChange;

    // Published fields.
    core::Published<bool> audioRunning{false, &objectWillChange};
    core::Published<std::int64_t> audioDone{0, &objectWillChange};
    core::Published<std::int64_t> audioTotal{0, &objectWillChange};
    core::Published<std::int64_t> count{0, &objectWillChange};  // live entries, as last published
    core::Published<bool> scanning{false, &objectWillChange};   // a full scan runs
    core::Published<bool> updating{false, &objectWillChange};   // a catch-up runs
    core::Published<double> seconds{0, &objectWillChange};      // the scan's duration
    core::Published<std::optional<std::string>> failure{std::nullopt, &objectWillChange};
    core::Published<bool> offline{false, &objectWillChange};  // an offline catalog
    core::Published<std::optional<Date>> lastScanned{std::nullopt, &objectWillChange};

    // Main-thread variables of the model's scanning, maintenance and mount handling.
    std::shared_ptr<core::VolumeWatcher> watcher;
    Date lastReconcile;
    std::uint64_t scanEventID = 0;
    std::shared_ptr<VolumeState> replacing;  // on a rescan's fresh state: the state it replaces
    Date lastSave;
    std::int64_t lastMutations = 0;
    bool maintaining = false;
    std::pair<std::int64_t, std::int64_t> audioSig{-1, -1};  // (count, mutations) at the last audio run
    std::uint64_t lastAudioVersion = 0;
    std::string contentKey;
    std::string contentSig;
    Date contentLast = distantPast;
    bool contentRunning = false;
    std::optional<Date> catalogDate;
    bool cancelled = false;
    bool disconnected = false;
    Date retryAfter = distantPast;
    std::shared_ptr<VolumeState> pendingScan;  // on a state being rescanned: the fresh state
    // Whether the root was a mount point when the volume started (a replacement keeps its old
    // volume's answer): the drive counts as gone once it no longer is one.
    std::optional<bool> rootWasMountPoint;

private:
    std::string name_;
    std::string root_;
    std::string displayPrefix_;
    bool isInternal_ = false;
    std::shared_ptr<core::VolumeIndex> index_;
    std::shared_ptr<core::Searcher> searcher_;
    std::string uuid_;
    std::string snapshotPath_;
    std::vector<std::string> scopes_;
    std::vector<std::string> includeExts_;
    std::uint64_t configHash_ = 0;
    std::optional<core::SnapshotInfo> loaded_;
    std::optional<core::VolumeID::Resume> resume_;
    bool isNetwork_ = false;
    std::string prefKey_;
};

}  // namespace quorvanta::app
