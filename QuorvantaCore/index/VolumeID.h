// Names for volumes and places: the data directory, a volume's UUID and event-log identity, the
// file-system type of a path, the 64-bit FNV-1a hash and the hashes built on it, the file name of
// a volume's snapshot, and the rule that decides how a loaded snapshot catches up with the disk.
//
// Stateless; any thread may call. Failures of the underlying calls give absent or empty results,
// never errors. The probes that touch the file system (uuid, fseUUID, fsType, isNetwork(path),
// isReachable, resume) can block indefinitely on a hung network mount: callers ask about network
// roots off the main thread.
#pragma once

#include "QuorvantaCore/index/SnapshotInfo.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::core {

struct VolumeID {
    VolumeID() = delete;

    // How a loaded snapshot catches up; none means a full scan.
    enum class Resume {
        replay,     // replay the volume's file-event history from the snapshot's eventID
        reconcile,  // list again the folders whose modification time changed
        scheduled,  // network volume: rescanned on its schedule
    };

    // What the resume rule looks at, gathered from the disk by resume(snapshot, root).
    struct ResumeProbe {
        std::string fsType;   // "" when the root cannot be examined
        std::string fseUUID;  // "" when the device has no event-log identity
        std::chrono::system_clock::time_point now;
    };

    static constexpr std::chrono::seconds kReplayWindow{604'800};

    // The data directory (<XDG data home>/Quorvanta), created with its parents, mode 0700, on
    // every call; a failure to create is ignored. Empty only when there is no home folder at all.
    static std::filesystem::path directory();

    // The volume UUID of the file system holding the path: for block-device file systems only,
    // made only of ASCII letters, digits and "-". None otherwise; callers then name the volume
    // "path-<fnv(root) in hex>".
    static std::optional<std::string> uuid(const std::string& forPath);

    // The event-log identity of the device holding the path; none when it cannot be stat'ed or
    // the device has none (always, on Linux, unless a file-event source provides one).
    static std::optional<std::string> fseUUID(const std::string& forPath);

    // The file-system type name ("ext4", "fuse.sshfs"); "" when statfs fails.
    static std::string fsType(const std::string& forPath);

    static bool isNetwork(std::string_view fsType);
    static bool isNetworkPath(const std::string& path);

    // True only for a root on a network file system that stats as a folder. A share that is no
    // longer mounted leaves a plain folder of the parent file system, which is not reachable.
    static bool isReachable(const std::string& root);

    // 64-bit FNV-1a of the bytes as they are.
    static std::uint64_t fnv(std::string_view text);

    // Hash of a list of excluded paths, independent of their order.
    static std::uint64_t exclHash(const std::vector<std::string>& excludes);

    // Hash of an index configuration, independent of the order within each list.
    static std::uint64_t configHash(const std::vector<std::string>& excludes, const std::vector<std::string>& scopes,
                                    const std::vector<std::string>& includeExts);

    // <dir or the data directory>/<uuid>-<fnv(root) in lower-case hex>.idx. Bytes of `uuid`
    // outside [A-Za-z0-9._-] become "_", so an identifier can never lead out of the folder.
    static std::string snapshotPath(std::string_view uuid, std::string_view root,
                                    const std::optional<std::filesystem::path>& dir = std::nullopt);

    // The resume rule for a snapshot already accepted for this volume and root.
    static std::optional<Resume> resume(const SnapshotInfo& snapshot, const std::string& root);
    static std::optional<Resume> resume(const SnapshotInfo& snapshot, const ResumeProbe& probe);
};

}  // namespace quorvanta::core
