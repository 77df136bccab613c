#include "QuorvantaCore/index/VolumeID.h"

#include "QuorvantaCore/util/AppInfo.h"
#include "platform/events/EventLogIdentity.h"
#include "platform/fs/DataDirectory.h"
#include "platform/volumes/FsType.h"
#include "platform/volumes/FsTypeSets.h"
#include "platform/volumes/MountInfo.h"
#include "platform/volumes/VolumeUUID.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace quorvanta::core {
namespace {

std::string sortedJoined(std::vector<std::string> values, std::string_view separator) {
    std::sort(values.begin(), values.end());
    std::string joined;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i) joined += separator;
        joined += values[i];
    }
    return joined;
}

std::string lowerHex(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

bool isFileNameSafe(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '_' ||
           c == '-';
}

}  // namespace

std::filesystem::path VolumeID::directory() { return platform::dataDirectory(AppInfo::name()); }

std::optional<std::string> VolumeID::uuid(const std::string& forPath) {
    const auto mounts = platform::readMountInfo();
    if (!mounts) return std::nullopt;
    return platform::volumeUUID(forPath, *mounts);
}

std::optional<std::string> VolumeID::fseUUID(const std::string& forPath) {
    struct stat info {};
    if (stat(forPath.c_str(), &info) != 0) return std::nullopt;
    return platform::eventLogIdentity(info.st_dev);
}

std::string VolumeID::fsType(const std::string& forPath) {
    return platform::fsTypeOfPath(forPath, platform::readMountInfo());
}

bool VolumeID::isNetwork(std::string_view fsType) { return platform::isNetworkFsType(fsType); }

bool VolumeID::isNetworkPath(const std::string& path) { return isNetwork(fsType(path)); }

bool VolumeID::isReachable(const std::string& root) {
    if (!isNetworkPath(root)) return false;
    struct stat info {};
    return stat(root.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::uint64_t VolumeID::fnv(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const unsigned char byte : text) {
        hash ^= byte;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::uint64_t VolumeID::exclHash(const std::vector<std::string>& excludes) { return fnv(sortedJoined(excludes, "\n")); }

std::uint64_t VolumeID::configHash(const std::vector<std::string>& excludes, const std::vector<std::string>& scopes,
                                   const std::vector<std::string>& includeExts) {
    return fnv("v2|" + std::to_string(exclHash(excludes)) + "|" + sortedJoined(scopes, "\n") + "|" +
               sortedJoined(includeExts, ";"));
}

std::string VolumeID::snapshotPath(std::string_view uuid, std::string_view root,
                                   const std::optional<std::filesystem::path>& dir) {
    std::string name(uuid);
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !isFileNameSafe(c); }, '_');
    name += "-" + lowerHex(fnv(root)) + ".idx";
    return ((dir ? *dir : directory()) / name).string();
}

std::optional<VolumeID::Resume> VolumeID::resume(const SnapshotInfo& snapshot, const std::string& root) {
    ResumeProbe probe{fsType(root), "", std::chrono::system_clock::now()};
    if (!isNetwork(probe.fsType)) probe.fseUUID = fseUUID(root).value_or("");
    return resume(snapshot, probe);
}

std::optional<VolumeID::Resume> VolumeID::resume(const SnapshotInfo& snapshot, const ResumeProbe& probe) {
    if (isNetwork(probe.fsType)) return Resume::scheduled;
    if (!probe.fseUUID.empty()) {
        if (probe.fseUUID != snapshot.fseUUID) return std::nullopt;
        // Written as a comparison of time points, so that no savedAt, however far in the past
        // or the future, overflows a difference. A savedAt in the future counts as young.
        if (snapshot.savedAt > probe.now - kReplayWindow) return Resume::replay;
        return std::nullopt;
    }
    if (platform::isReconcileFsType(probe.fsType)) return Resume::reconcile;
    return std::nullopt;
}

}  // namespace quorvanta::core
