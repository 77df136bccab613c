// The drive list over fixture mount tables, a fixture /dev (device nodes as plain files, with
// udev's links under disk/) and a fixture /sys/block; and over a real loop-mounted image.
#include "QuorvantaApp/model/drives/Candidates.h"

#include "QuorvantaApp/model/volume/VolumeState.h"
#include "QuorvantaCore/lang/Lang.h"
#include "platform/settings/Settings.h"
#include "platform/time/Clock.h"
#include "platform/volumes/VolumeUUID.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MountTools.h"
#include "tests/support/TempDir.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace quorvanta::app {

void PrintTo(const Candidate& c, std::ostream* os) {
    *os << "{" << c.key << " | " << c.name << " | " << c.root << " | " << c.prefix
        << (c.isInternal ? " | internal" : "") << (c.isNetwork ? " | network" : "") << "}";
}

namespace {

namespace fs = std::filesystem;

// A volume on the root that reads no snapshot.
VolumeState::Online onlineAt(const std::string& root, bool isInternal) {
    VolumeState::Online online;
    online.name = "v";
    online.root = root;
    online.isInternal = isInternal;
    online.scopes = {root};
    online.persist = false;
    return online;
}

// A fixture system: its mount table names device nodes in the fixture's dev/ folder ("%DEV%" in
// the table text stands for it).
class Drives {
public:
    Drives() { fs::create_directories(dir_ / "dev/disk"); }

    std::string dev(const std::string& node) const { return (dir_ / "dev" / node).string(); }
    // A device node as a plain file, found by the links through its path.
    void node(const std::string& name) const { dir_.write("dev/" + name, ""); }
    // A link named `name` (udev escapes as written) in dev/disk/<kind> to the node.
    void link(const std::string& kind, const std::string& name, const std::string& node) const {
        fs::create_directories(dir_ / "dev/disk" / kind);
        fs::create_symlink("../../" + node, dir_ / "dev/disk" / kind / name);
    }
    void loopBackedBy(const std::string& loop, const std::string& file) const {
        dir_.write("sys/block/" + loop + "/loop/backing_file", file + "\n");
    }
    void mountTable(std::string text) const {
        for (std::size_t at; (at = text.find("%DEV%")) != std::string::npos;) text.replace(at, 5, dev(""));
        dir_.write("mountinfo", text);
    }

    DriveProbe probe() {
        DriveProbe probe = DriveProbe::system();
        probe.mountInfo = dir_ / "mountinfo";
        probe.devFolder = dir_ / "dev";
        probe.sysBlockFolder = dir_ / "sys/block";
        probe.defaults = &settings;
        return probe;
    }

    // A context that finds mounts and keys as the probe does.
    VolumeContext context() {
        VolumeContext context;
        context.dataDirectory = dir_ / "data";
        context.mounts = [file = dir_ / "mountinfo"] { return platform::readMountInfo(file); };
        context.volumeUUID = [folder = dir_ / "dev/disk/by-uuid"](const platform::MountEntry& mount) {
            return platform::mountUUID(mount, folder);
        };
        context.resume = [](const core::SnapshotInfo&, const std::string&, const platform::MountEntry*) {
            return std::optional<core::VolumeID::Resume>();
        };
        context.clock = &clock;
        return context;
    }

    platform::MemorySettings settings;
    platform::FakeClock clock;

private:
    test::TempDir dir_;
};

// Lines of /proc/self/mountinfo: id parent major:minor root mount-point options - type source.
constexpr const char* kTable =
    "1 0 254:1 / / rw,relatime - ext4 %DEV%vda1 rw\n"
    "20 1 8:17 / /media/u/STICK rw,nosuid shared:5 - ext4 %DEV%sdb1 rw\n"
    "21 1 8:33 / /media/u/My\\040Disk rw - exfat %DEV%sdc1 rw\n"
    "22 1 8:49 / /run/media/u/X rw - vfat %DEV%sdd1 rw\n"
    "23 1 7:0 / /media/u/ISO ro - iso9660 %DEV%loop0 ro\n"
    "24 1 0:50 / /mnt/nas rw - cifs //server/share rw\n"
    "25 1 0:51 / /media/u/host rw - fuse.sshfs u@host:/home rw\n"
    "26 1 254:1 /home/u/stuff /mnt/b rw - ext4 %DEV%vda1 rw\n"  // bind of a folder of "/"
    "27 20 8:17 /photos /mnt/photos rw - ext4 %DEV%sdb1 rw\n"   // bind of the stick's folder
    "28 1 8:113 /sub /mnt/part rw - ext4 %DEV%sdh1 rw\n"        // bind of a drive's folder
    "29 1 0:60 / /mnt/t rw - tmpfs tmpfs rw\n"
    "30 1 0:61 / /mnt/ov rw - overlay overlay rw\n"
    "31 1 0:62 / /media/u/gvfs rw - fuse.gvfsd-fuse %DEV%fuse rw\n"  // FUSE, no block device
    "32 1 8:65 / /srv/data rw - xfs %DEV%sde1 rw\n"
    "33 1 0:63 / /srv/nfs rw - nfs4 server:/export rw\n"
    "34 1 8:17 / /media/u/STICK2 rw - ext4 %DEV%sdb1 rw\n"  // the stick once more
    "35 1 259:1 / /boot/efi rw - vfat %DEV%nvme0n1p1 rw\n"
    "36 1 7:1 / /snap/core/1 ro - squashfs %DEV%loop1 ro\n"
    "37 1 8:81 / /mnt/old rw - ext4 %DEV%sdf1 rw\n"
    "38 37 8:97 / /mnt/old rw - ext4 %DEV%sdg1 rw\n"             // covers the one before
    "39 1 254:1 / /media/u/rootagain rw - ext4 %DEV%vda1 rw\n";  // the device of "/"

void buildSystem(const Drives& d) {
    for (const char* n :
         {"vda1", "sdb1", "sdc1", "sdd1", "sde1", "sdf1", "sdg1", "sdh1", "loop0", "loop1", "nvme0n1p1", "fuse"})
        d.node(n);
    d.link("by-uuid", "aaaa-0001", "vda1");
    d.link("by-label", "rootfs", "vda1");
    d.link("by-uuid", "1234-ABCD", "sdb1");
    d.link("by-label", "STICK", "sdb1");
    d.link("by-uuid", "5678-EF01", "sdc1");
    d.link("by-label", "My\\x20Disk", "sdc1");
    d.link("by-uuid", "9999-0001", "sde1");
    d.link("by-label", "Under", "sdf1");
    d.link("by-label", "Top", "sdg1");
    d.link("by-label", "Part", "sdh1");
    d.loopBackedBy("loop0", "/home/u/ubuntu.iso");
    d.loopBackedBy("loop1", "/var/lib/snapd/snaps/core_1.snap");
    d.mountTable(kTable);
}

TEST(DriveCandidates, MountTableFixture) {
    Drives d;
    buildSystem(d);
    const Candidate boot{"aaaa-0001", "rootfs", "/", "", true, false};
    const Candidate stick{"1234-ABCD", "STICK", "/media/u/STICK", "", false, false};
    const Candidate disk{"5678-EF01", "My Disk", "/media/u/My Disk", "", false, false};
    const Candidate x{"/run/media/u/X", "X", "/run/media/u/X", "", false, false};
    const Candidate iso{"/media/u/ISO", "ISO", "/media/u/ISO", "", false, false};
    const Candidate nas{"/mnt/nas", "nas", "/mnt/nas", "", false, true};
    const Candidate host{"/media/u/host", "host", "/media/u/host", "", false, true};
    const Candidate data{"9999-0001", "data", "/srv/data", "", false, false};
    const Candidate old{"/mnt/old", "Top", "/mnt/old", "", false, false};

    d.settings.setBoolean(kIndexDiskImagesKey, false);
    EXPECT_EQ(candidates(d.probe()), (std::vector<Candidate>{boot, stick, disk, x, nas, host, data, old}));
    d.settings.setBoolean(kIndexDiskImagesKey, true);
    const auto withImages = candidates(d.probe());
    EXPECT_EQ(withImages, (std::vector<Candidate>{boot, stick, disk, x, iso, nas, host, data, old}))
        << "the setting is read again on every call; a loop mount outside the drive folders stays out";

    std::vector<std::pair<std::string, std::string>> external;
    for (const auto& v : externalVolumes(d.probe())) external.emplace_back(v.name, v.root);
    EXPECT_EQ(external.size(), withImages.size() - 1);
    for (std::size_t i = 0; i < external.size() && i + 1 < withImages.size(); ++i)
        EXPECT_EQ(external[i], std::pair(withImages[i + 1].name, withImages[i + 1].root));

    // A volume built on each candidate's root finds the same key for its source settings.
    for (const auto& c : withImages) {
        const auto state = VolumeState::create(onlineAt(c.root, c.isInternal), d.context());
        EXPECT_EQ(state->prefKey(), c.key) << c.root;
        EXPECT_EQ(state->isNetwork(), c.isNetwork) << c.root;
    }
}

TEST(DriveCandidates, DiskImages) {
    Drives d;
    buildSystem(d);
    const std::pair<const char*, bool> cases[] = {
        {"/media/u/ISO", true},
        {"/media/u/ISO/casper/x", true},
        {"/snap/core/1", true},
        {"/media/u/ISOX", false},
        {"/media/u/STICK", false},
        {"/mnt/nas", false},
        {"/", false},
        {"relative", false},
    };
    for (const auto& [root, image] : cases) EXPECT_EQ(isDiskImage(root, d.probe()), image) << root;
}

TEST(DriveCandidates, BootVolumeWithoutLabelOrTable) {
    Drives d;
    d.mountTable(
        "1 0 0:40 / / rw - overlay overlay rw\n"
        "20 1 0:41 / /mnt/t rw - tmpfs tmpfs rw\n");
    DriveProbe unreadable = d.probe();
    unreadable.mountInfo = unreadable.mountInfo.parent_path() / "missing";

    auto& lang = core::Lang::shared();
    const std::string before = lang.choice();
    lang.setChoice("en");
    const Candidate computer{"/", "Computer", "/", "", true, false};
    EXPECT_EQ(candidates(d.probe()), std::vector<Candidate>{computer});
    EXPECT_EQ(candidates(unreadable), std::vector<Candidate>{computer});
    EXPECT_TRUE(externalVolumes(unreadable).empty());
    EXPECT_FALSE(isDiskImage("/", unreadable));
    lang.setChoice("de");
    EXPECT_EQ(candidates(d.probe()).front().name, "Rechner");
    lang.setChoice(before);
}

// btrfs names the mounted subvolume in the root field, so there a second mount of the same file
// system is what leaves a mount out. Its mounts carry an anonymous device number: only a real
// block device node as the source makes them drives.
TEST(DriveCandidates, BtrfsSubvolumes) {
    Drives d;
    for (const auto& [name, minor] : {std::pair{"nvme0n1p2", 1u}, {"sdc1", 2u}})
        if (mknod(d.dev(name).c_str(), S_IFBLK | 0600, makedev(250, minor)) != 0)
            GTEST_SKIP() << "cannot make block device nodes here: " << std::strerror(errno);
    d.node("sdz1");
    d.link("by-uuid", "b7f5-0001", "nvme0n1p2");
    d.link("by-label", "Fedora", "nvme0n1p2");
    d.link("by-uuid", "c0de-0002", "sdc1");
    d.mountTable(
        "1 0 0:30 /@ / rw - btrfs %DEV%nvme0n1p2 rw\n"
        "40 1 0:30 /@home /home rw - btrfs %DEV%nvme0n1p2 rw\n"
        "41 1 0:45 /@data /media/u/Pool rw - btrfs %DEV%sdc1 rw\n"
        "42 1 0:45 /@photos /media/u/Photos rw - btrfs %DEV%sdc1 rw\n"
        "43 1 0:46 / /media/u/Fake rw - btrfs %DEV%sdz1 rw\n");  // not a block device

    const auto list = candidates(d.probe());
    EXPECT_EQ(list, (std::vector<Candidate>{{"b7f5-0001", "Fedora", "/", "", true, false},
                                            {"c0de-0002", "Pool", "/media/u/Pool", "", false, false}}));
}

// A real ext4 image, loop-mounted under a folder given as the only drive folder, in a private
// mount namespace of a child process.
std::string listRealImage(const fs::path& image, const fs::path& folder) {
    const fs::path mountPoint = folder / "QV";
    if (const auto refused = test::enterPrivateMountNamespace(); !refused.empty()) return "skip " + refused;
    if (test::runQuietly({"mount", "-o", "loop", image.string(), mountPoint.string()}) != 0)
        return "skip loop mount refused (no loop devices, or not allowed here)";

    platform::MemorySettings settings;
    DriveProbe probe = DriveProbe::system();
    probe.driveFolders = {folder.string()};
    probe.defaults = &settings;
    std::ostringstream out;
    const auto listed = [&] {
        for (const auto& c : candidates(probe))
            if (c.root == mountPoint.string()) return std::optional<Candidate>(c);
        return std::optional<Candidate>();
    };
    out << "listedWithoutSetting " << listed().has_value() << "\n";
    settings.setBoolean(kIndexDiskImagesKey, true);
    const auto found = listed();
    if (!found) return out.str() + "listed 0\n";
    out << "listed 1\nname " << found->name << "\nkey " << found->key << "\n";
    out << "diskImage " << isDiskImage(mountPoint.string(), probe) << "\n";

    platform::FakeClock clock;
    VolumeContext context;
    context.mounts = [] { return platform::readMountInfo(); };
    context.volumeUUID = [](const platform::MountEntry& mount) { return platform::mountUUID(mount); };
    context.clock = &clock;
    const auto state = VolumeState::create(onlineAt(found->root, false), context);
    out << "prefKey " << state->prefKey() << "\n";
    return out.str();
}

TEST(DriveCandidates, RealLoopMountedImage) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    if (test::findSystemProgram("mkfs.ext4").empty()) GTEST_SKIP() << "mkfs.ext4 is not installed (package e2fsprogs)";
    constexpr const char* kUUID = "6a1b2c3d-4e5f-4071-8293-a4b5c6d7e8f9";
    test::TempDir dir;
    const auto folder = fs::canonical(dir.path()) / "drives";
    fs::create_directories(folder / "QV");
    const auto image = dir / "stick.img";
    ASSERT_EQ(test::makeExt4Image(image.string(), {"-L", "QV Stick", "-U", kUUID}), "");

    const auto outcome = test::runInChild([&] { return listRealImage(image, folder); });
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    if (outcome.output.rfind("skip ", 0) == 0) GTEST_SKIP() << outcome.output.substr(5);

    std::map<std::string, std::string> seen;
    std::istringstream lines(outcome.output);
    for (std::string key, value; lines >> key && std::getline(lines >> std::ws, value);) seen[key] = value;
    SCOPED_TRACE(outcome.output);
    EXPECT_EQ(seen["listedWithoutSetting"], "0");
    ASSERT_EQ(seen["listed"], "1");
    EXPECT_EQ(seen["name"], "QV Stick");
    EXPECT_EQ(seen["diskImage"], "1");
    EXPECT_EQ(seen["prefKey"], seen["key"]);
    EXPECT_TRUE(seen["key"] == kUUID || seen["key"] == (folder / "QV").string())
        << "the UUID where the kernel or udev names it, else the mount point";
}

}  // namespace
}  // namespace quorvanta::app
