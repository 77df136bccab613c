// The drives that can be indexed, read from the mount table: the boot volume first, then each
// other drive in mount-table order. The application model lists them for its volumes, the
// new-drive check, mount handling and the sources editor; a Candidate's `key` is the key of its
// source settings (Prefs::sources).
//
// Which mounts are drives:
//   - the boot volume: the file system mounted at "/", named by its label or "Computer";
//   - under a mount folder (kExternalDriveFolders: /media, /run/media, /mnt): a file system on a
//     block device, or a network file system; a loop-mounted disk image only while the setting
//     "indexDiskImages" is true (read again for each image);
//   - elsewhere: a file system on a block device other than a loop device (a separate /home,
//     /srv or /data disk), except the firmware and kernel partitions under /boot and /efi.
// A drive is never the mount or the device of "/", nor a bind mount (a mount of a folder inside a
// file system; on btrfs that field names the subvolume instead and is not looked at), nor a
// second mount of a device already listed, nor a mount covered by a later one at the same place.
// A drive is named by its label, else the last component of its mount point.
//
// Everything is decided from the text of the mount table. The label and UUID of a block-device
// drive come from udev's links, else from the kernel through its mount point; a network drive is
// never touched, since a hung share can block any call on its path for minutes and this list is
// made on the main thread.
//
// Threads: any thread may call these; they read the mount table, /dev, /sys and the settings.
#pragma once

#include "platform/settings/Settings.h"
#include "platform/volumes/MountInfo.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvanta::app {

// A volume that can be indexed.
struct Candidate {
    std::string key;          // the volume UUID, or the root when there is none
    std::string name;         // shown to the user
    std::string root;         // the folder that is indexed
    std::string prefix;       // leading part of paths left out when they are shown; "" for none
    bool isInternal = false;  // the boot volume
    bool isNetwork = false;   // on a network file system

    bool operator==(const Candidate&) const = default;
};

// A drive other than the boot volume, with the mount-table entry it was found in.
struct ExternalVolume {
    std::string name;
    std::string root;
    platform::MountEntry mount;
};

// Where the drive list is read from: the system's, or a test's fixtures.
struct DriveProbe {
    std::filesystem::path mountInfo;         // the mount table's file
    std::filesystem::path devFolder;         // device nodes, with udev's links under disk/
    std::filesystem::path sysBlockFolder;    // the kernel's block devices (loop backing files)
    std::vector<std::string> driveFolders;   // the mount folders of external drives
    platform::Settings* defaults = nullptr;  // holds "indexDiskImages"

    // /proc/self/mountinfo, /dev, /sys/block, kExternalDriveFolders and the standard settings.
    static DriveProbe system();
};

inline constexpr std::string_view kIndexDiskImagesKey = "indexDiskImages";

// The boot volume, then one candidate per entry of externalVolumes(): key = the drive's volume
// UUID (platform::mountUUID), else its root; prefix ""; network by the mount's type. An unreadable
// mount table gives the boot volume alone, keyed "/".
std::vector<Candidate> candidates(const DriveProbe& probe = DriveProbe::system());
// The drives other than the boot volume, in mount-table order; empty when the table cannot be read.
std::vector<ExternalVolume> externalVolumes(const DriveProbe& probe = DriveProbe::system());
// Whether the volume holding `root` (the mount whose mount point is the longest whole-component
// prefix of the root as given) is a disk image: a loop device with a backing file.
bool isDiskImage(const std::string& root, const DriveProbe& probe = DriveProbe::system());

// Where the application model takes its drive list from, so that tests can script it.
class CandidatesProvider {
public:
    virtual ~CandidatesProvider() = default;
    virtual std::vector<Candidate> candidates() const = 0;
};

// The drives of a probe (normally the system's).
class SystemCandidates final : public CandidatesProvider {
public:
    explicit SystemCandidates(DriveProbe probe = DriveProbe::system()) : probe_(std::move(probe)) {}
    std::vector<Candidate> candidates() const override { return app::candidates(probe_); }

private:
    DriveProbe probe_;
};

}  // namespace quorvanta::app
