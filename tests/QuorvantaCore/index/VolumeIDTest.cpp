#include "QuorvantaCore/index/VolumeID.h"

#include "platform/events/EventLogIdentity.h"
#include "platform/volumes/ByUUID.h"
#include "platform/volumes/FsTypeSets.h"
#include "tests/support/TempDir.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

namespace quorvanta::core {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Resume = VolumeID::Resume;

TEST(VolumeID, HashesBytesWithFnv1a) {
    const std::pair<std::string, std::uint64_t> cases[] = {
        {"", 0xcbf29ce484222325ULL},
        {"a", 0xaf63dc4c8601ec8cULL},
        {"/", 0xaf63a24c860189feULL},
        {"\xff\xfe", 0x0a99c807b6f645b0ULL},  // not UTF-8: hashed as it is
        {"v2|14695981039346656037||flac;mp3", 0x417ea59156caffc3ULL},
    };
    for (const auto& [text, hash] : cases) EXPECT_EQ(VolumeID::fnv(text), hash) << text;
    EXPECT_NE(VolumeID::fnv(std::string("a\0b", 3)), VolumeID::fnv("a")) << "a NUL byte is hashed too";
}

TEST(VolumeID, ExclusionHashIgnoresOrder) {
    EXPECT_EQ(VolumeID::exclHash({}), VolumeID::fnv(""));
    EXPECT_EQ(VolumeID::exclHash({"/b", "/a"}), VolumeID::fnv("/a\n/b"));
    EXPECT_EQ(VolumeID::exclHash({"/a", "/b"}), VolumeID::fnv("/a\n/b"));
    // Byte order, which is code point order for UTF-8: "Z" before "a", "z" before "é".
    EXPECT_EQ(VolumeID::exclHash({"/a", "/Z"}), VolumeID::fnv("/Z\n/a"));
    EXPECT_EQ(VolumeID::exclHash({"/\xc3\xa9", "/z"}), VolumeID::fnv("/z\n/\xc3\xa9"));
}

TEST(VolumeID, ConfigurationHashFollowsEveryListButNotTheirOrder) {
    EXPECT_EQ(VolumeID::exclHash({}), 14695981039346656037ULL);
    EXPECT_EQ(VolumeID::configHash({}, {}, {"mp3", "flac"}), VolumeID::fnv("v2|14695981039346656037||flac;mp3"));
    EXPECT_EQ(VolumeID::configHash({"/x", "/y"}, {"/s2", "/s1"}, {"b", "a"}),
              VolumeID::configHash({"/y", "/x"}, {"/s1", "/s2"}, {"a", "b"}));
    EXPECT_EQ(VolumeID::configHash({"/x"}, {"/s1", "/s2"}, {"a"}),
              VolumeID::fnv("v2|" + std::to_string(VolumeID::exclHash({"/x"})) + "|/s1\n/s2|a"));
    EXPECT_NE(VolumeID::configHash({"/x"}, {}, {}), VolumeID::configHash({}, {"/x"}, {}))
        << "moving a value from the scopes to the excludes must change the hash";
    EXPECT_NE(VolumeID::configHash({}, {}, {"x"}), VolumeID::configHash({}, {"x"}, {}));
}

TEST(VolumeID, NamesSnapshotsByIdentifierAndRootHash) {
    EXPECT_EQ(VolumeID::snapshotPath("U", "/", fs::path("/d")), "/d/U-af63a24c860189fe.idx");
    EXPECT_EQ(VolumeID::snapshotPath("0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0", "/", fs::path("/d")),
              "/d/0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0-af63a24c860189fe.idx");
    EXPECT_EQ(VolumeID::snapshotPath("path-af63a24c860189fe", "/", fs::path("/d")),
              "/d/path-af63a24c860189fe-af63a24c860189fe.idx");

    // The hash has no zero padding.
    std::string root;
    for (int i = 0; root.empty(); ++i)
        if (VolumeID::fnv("/r" + std::to_string(i)) < (1ULL << 60)) root = "/r" + std::to_string(i);
    const auto name = fs::path(VolumeID::snapshotPath("U", root, fs::path("/d"))).filename().string();
    std::smatch digits;
    ASSERT_TRUE(std::regex_match(name, digits, std::regex("U-([0-9a-f]{1,15})\\.idx"))) << name;
    EXPECT_EQ(std::stoull(digits[1], nullptr, 16), VolumeID::fnv(root));
    EXPECT_NE(digits[1].str().front(), '0');

    EXPECT_EQ(fs::path(VolumeID::snapshotPath("U", "/")).parent_path(), VolumeID::directory());
}

TEST(VolumeID, SnapshotNamesNeverLeaveTheirFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {"../../etc/x", ".._.._etc_x"},
        {"/abs", "_abs"},
        {"a b\\c", "a_b_c"},
        {std::string("a\0b", 3), "a_b"},
        {"\xc3\xa9t\xc3\xa9", "__t__"},
        {"..", ".."},  // "..-<hash>.idx" is an ordinary name
        {"", ""},
    };
    for (const auto& [uuid, safe] : cases) {
        const fs::path path = VolumeID::snapshotPath(uuid, "/", fs::path("/d"));
        EXPECT_EQ(path.parent_path(), "/d") << uuid;
        EXPECT_EQ(path.filename(), safe + "-af63a24c860189fe.idx") << uuid;
    }
}

TEST(VolumeID, ResumeRule) {
    const auto now = std::chrono::system_clock::time_point{} + 20'000h;
    struct Case {
        const char* fsType;
        const char* currentLog;
        const char* savedLog;
        std::chrono::seconds age;
        std::optional<Resume> expected;
    };
    const Case cases[] = {
        {"nfs", "LOG-B", "LOG-A", 24h * 90, Resume::scheduled},  // network wins, old and changed
        {"fuse.sshfs", "", "", 0s, Resume::scheduled},
        {"smb3", "LOG-A", "LOG-A", 1s, Resume::scheduled},
        {"smbfs", "", "", 24h * 400, Resume::scheduled},
        {"ext4", "LOG-A", "LOG-A", 24h * 6 + 23h, Resume::replay},
        {"ext4", "LOG-A", "LOG-A", 604'799s, Resume::replay},
        {"ext4", "LOG-A", "LOG-A", 604'800s, std::nullopt},
        {"ext4", "LOG-A", "LOG-A", -1h, Resume::replay},  // saved "in the future"
        {"ext4", "LOG-B", "LOG-A", 1s, std::nullopt},
        {"ext4", "LOG-A", "", 1s, std::nullopt},
        {"vfat", "LOG-A", "LOG-A", 1s, Resume::replay},  // an event log makes the type moot
        {"ext4", "", "LOG-A", 1s, Resume::reconcile},
        {"vfat", "", "", 1s, std::nullopt},
        {"tmpfs", "", "", 1s, std::nullopt},
        {"overlay", "", "", 1s, std::nullopt},
        {"fuse.gvfsd-fuse", "", "", 1s, std::nullopt},
        {"", "", "", 1s, std::nullopt},
    };
    for (const auto& c : cases) {
        SnapshotInfo snapshot;
        snapshot.fseUUID = c.savedLog;
        snapshot.savedAt = now - c.age;
        EXPECT_EQ(VolumeID::resume(snapshot, VolumeID::ResumeProbe{c.fsType, c.currentLog, now}), c.expected)
            << "type '" << c.fsType << "', log '" << c.currentLog << "' vs '" << c.savedLog << "', age "
            << c.age.count() << " s";
    }
    for (const char* type : {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "zfs", "bcachefs", "exfat", "ntfs3",
                             "fuseblk", "hfsplus", "ntfs", "apfs", "hfs"})
        EXPECT_EQ(VolumeID::resume(SnapshotInfo{}, VolumeID::ResumeProbe{type, "", now}), Resume::reconcile) << type;

    SnapshotInfo ancient;
    ancient.fseUUID = "LOG-A";
    ancient.savedAt = std::chrono::system_clock::time_point::min();
    EXPECT_EQ(VolumeID::resume(ancient, VolumeID::ResumeProbe{"ext4", "LOG-A", now}), std::nullopt);
    ancient.savedAt = std::chrono::system_clock::time_point::max();
    EXPECT_EQ(VolumeID::resume(ancient, VolumeID::ResumeProbe{"ext4", "LOG-A", now}), Resume::replay);
}

// Installs an event-log identity provider for the scope of a test.
class ProviderOverride {
public:
    explicit ProviderOverride(platform::EventLogIdentityProvider provider) {
        platform::setEventLogIdentityProvider(std::move(provider));
    }
    ~ProviderOverride() { platform::setEventLogIdentityProvider(nullptr); }
};

TEST(VolumeID, EventLogIdentityComesFromTheInstalledProvider) {
    test::TempDir dir;
    struct stat info {};
    ASSERT_EQ(stat(dir.path().c_str(), &info), 0);
    EXPECT_EQ(VolumeID::fseUUID(dir.path()), std::nullopt) << "Linux keeps no event log";

    int asked = 0;
    ProviderOverride provider([&](dev_t device) -> std::optional<std::string> {
        ++asked;
        if (device == info.st_dev) return "LOG-A";
        return std::nullopt;
    });
    EXPECT_EQ(VolumeID::fseUUID(dir.path()), "LOG-A");
    EXPECT_EQ(VolumeID::fseUUID((dir / "missing").string()), std::nullopt);
    EXPECT_EQ(asked, 1) << "a path that cannot be stat'ed is not asked about";

    // The rule on the real folder: the identity decides unless the folder is on a network.
    SnapshotInfo snapshot;
    snapshot.fseUUID = "LOG-A";
    snapshot.savedAt = std::chrono::system_clock::now() - 1h;
    const bool network = VolumeID::isNetworkPath(dir.path());
    EXPECT_EQ(VolumeID::resume(snapshot, dir.path().string()), network ? Resume::scheduled : Resume::replay);
    snapshot.fseUUID = "LOG-OLD";
    EXPECT_EQ(VolumeID::resume(snapshot, dir.path().string()),
              network ? std::optional(Resume::scheduled) : std::nullopt);
}

TEST(VolumeID, ProbesALocalFolder) {
    test::TempDir dir;
    const auto type = VolumeID::fsType(dir.path());
    EXPECT_FALSE(type.empty());
    EXPECT_EQ(VolumeID::fsType((dir / "missing").string()), "");
    EXPECT_FALSE(VolumeID::isNetworkPath((dir / "missing").string()));
    EXPECT_FALSE(VolumeID::isReachable((dir / "missing").string()));
    if (!platform::isNetworkFsType(type)) {
        EXPECT_FALSE(VolumeID::isReachable(dir.path())) << "a local root is not reachable as a network root";
        const auto expected = platform::isReconcileFsType(type) ? std::optional(Resume::reconcile) : std::nullopt;
        EXPECT_EQ(VolumeID::resume(SnapshotInfo{}, dir.path().string()), expected) << type;
    }
    EXPECT_TRUE(VolumeID::isNetwork("nfs4"));
    EXPECT_FALSE(VolumeID::isNetwork("ext4"));

    EXPECT_EQ(VolumeID::uuid((dir / "missing").string()), std::nullopt);
    if (const auto uuid = VolumeID::uuid(dir.path())) {
        EXPECT_TRUE(platform::isSafeVolumeIdentifier(*uuid)) << *uuid;
    }
}

TEST(VolumeID, DataDirectoryIsPrivateAndNamedAfterTheApplication) {
    const fs::path expected = fs::path(std::getenv("XDG_DATA_HOME")) / "Quorvanta";
    fs::remove_all(expected);
    EXPECT_EQ(VolumeID::directory(), expected);
    EXPECT_TRUE(fs::is_directory(expected));
    struct stat info {};
    ASSERT_EQ(stat(expected.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

}  // namespace
}  // namespace quorvanta::core
