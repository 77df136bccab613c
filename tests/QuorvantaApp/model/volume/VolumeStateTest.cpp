// VolumeState over snapshots written by VolumeIndex::save into a temporary data folder, with the
// mount table, the volume key and the resume answer given through the context.
#include "QuorvantaApp/model/volume/VolumeState.h"

#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/content/ContentIndex.h"
#include "QuorvantaCore/index/ScanTimes.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/index/VolumeWatcher.h"
#include "QuorvantaCore/search/Searcher.h"
#include "platform/events/EventSource.h"
#include "platform/time/Clock.h"
#include "tests/support/TempDir.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Resume = core::VolumeID::Resume;
using Date = VolumeState::Date;

platform::MountEntry mountAt(std::string mountPoint, std::string fsType, std::string source) {
    platform::MountEntry m;
    m.mountID = 30 + mountPoint.size();
    m.devMajor = fsType == "ext4" ? 8 : 0;
    m.devMinor = 40 + static_cast<unsigned>(mountPoint.size());
    m.root = "/";
    m.mountPoint = std::move(mountPoint);
    m.fsType = std::move(fsType);
    m.source = std::move(source);
    return m;
}

core::SnapshotInfo snapshotHeader(const std::string& uuid, const std::string& root, Date savedAt,
                                  std::uint64_t configHash) {
    core::SnapshotInfo info;
    info.uuid = uuid;
    info.root = root;
    info.savedAt = savedAt;
    info.exclHash = configHash;
    return info;
}

std::string hexOf(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

// A data folder, a volume folder holding 99 files (with its root, 100 entries) and the answers the
// context gives, with the questions it was asked.
class Volumes {
public:
    Volumes() {
        for (int i = 0; i < 99; ++i) dir_.write("vol/f" + std::to_string(i) + ".txt", "x");
        fs::create_directories(dir_ / "data");
        content = std::make_shared<core::ContentIndex>((dir_ / "content.sqlite").string());
    }

    std::string root() const { return (dir_ / "vol").string(); }
    fs::path data() const { return dir_ / "data"; }

    VolumeContext context() {
        VolumeContext context;
        context.dataDirectory = data();
        context.content = content;
        context.mounts = [this] { return mounts; };
        context.volumeUUID = [this](const platform::MountEntry& mount) {
            asked.push_back("uuid " + mount.mountPoint);
            return volumeUUID;
        };
        context.resume = [this](const core::SnapshotInfo&, const std::string& root, const platform::MountEntry* mount) {
            asked.push_back("resume " + root + " on " + (mount ? mount->fsType : "none"));
            return resumeAnswer;
        };
        context.clock = &clock;
        return context;
    }

    VolumeState::Online online() const {
        VolumeState::Online online;
        online.name = "Vol";
        online.root = root();
        online.excludes = {"/x/excluded"};
        online.scopes = {root()};
        online.includeExts = {"mp3"};
        return online;
    }
    std::uint64_t configHash() const {
        const auto o = online();
        return core::VolumeID::configHash(o.excludes, o.scopes, o.includeExts);
    }

    // Saves an index of the volume folder with `deleted` entries counted deleted, under the
    // snapshot name of `uuid` and `root`; the header as `info`. Gives the saved index.
    std::shared_ptr<core::VolumeIndex> save(const std::string& uuid, const std::string& root,
                                            const core::SnapshotInfo& info, std::int64_t deleted = 0) const {
        auto index = core::VolumeIndex::scanned({this->root()}, 1);
        EXPECT_EQ(index->count(), 100u);
        index->countChangesForTesting(0, deleted);
        EXPECT_TRUE(index->save(core::VolumeID::snapshotPath(uuid, root, data()), info));
        return index;
    }
    core::SnapshotInfo header(const std::string& uuid, const std::string& root) const {
        return snapshotHeader(uuid, root, Date(1'600'000'000s), configHash());
    }

    std::shared_ptr<core::ContentIndex> content;
    std::vector<platform::MountEntry> mounts{mountAt("/", "ext4", "/dev/sda2")};
    std::optional<std::string> volumeUUID = "VOL-1";
    std::optional<Resume> resumeAnswer = Resume::reconcile;
    std::vector<std::string> asked;
    platform::FakeClock clock;

private:
    test::TempDir dir_;
};

// The values both constructors start with, apart from those they set.
void expectCommonInitialValues(const VolumeState& s, const VolumeContext& context) {
    EXPECT_EQ(s.watcher, nullptr);
    EXPECT_EQ(s.replacing, nullptr);
    EXPECT_EQ(s.pendingScan, nullptr);
    EXPECT_EQ(s.failure.get(), std::nullopt);
    EXPECT_EQ(s.lastReconcile, context.now());
    EXPECT_EQ(s.lastSave, context.now());
    EXPECT_EQ(s.scanEventID, 0u);
    EXPECT_EQ(s.lastMutations, 0);
    EXPECT_EQ(s.lastAudioVersion, 0u);
    EXPECT_EQ(s.audioDone.get(), 0);
    EXPECT_EQ(s.audioTotal.get(), 0);
    EXPECT_EQ(s.seconds.get(), 0.0);
    EXPECT_EQ(s.audioSig, (std::pair<std::int64_t, std::int64_t>(-1, -1)));
    EXPECT_EQ(s.contentKey, "");
    EXPECT_EQ(s.contentSig, "");
    EXPECT_EQ(s.contentLast, VolumeState::distantPast);
    EXPECT_EQ(s.retryAfter, VolumeState::distantPast);
    EXPECT_FALSE(s.maintaining || s.contentRunning || s.audioRunning.get() || s.cancelled || s.disconnected);
    ASSERT_NE(s.searcher(), nullptr);
    EXPECT_EQ(s.searcher()->index(), s.index());
}

TEST(VolumeState, SnapshotAcceptance) {
    struct Case {
        std::string what;
        std::function<void(core::SnapshotInfo&)> header;  // changes to the saved header
        std::int64_t deleted = 0;
        std::optional<Resume> resume = Resume::reconcile;
        bool persist = true;
        bool load = true;
        bool accepted = true;
    };
    const auto unchanged = [](core::SnapshotInfo&) {};
    const Case cases[] = {
        {"matching", unchanged},
        {"another uuid", [](core::SnapshotInfo& h) { h.uuid = "VOL-2"; }, 0, Resume::reconcile, true, true, false},
        {"another root (another folder set on the volume)", [](core::SnapshotInfo& h) { h.root = "/media/other"; }, 0,
         Resume::reconcile, true, true, false},
        {"other excludes",
         [](core::SnapshotInfo& h) { h.exclHash = core::VolumeID::configHash({"/y"}, {h.root}, {"mp3"}); }, 0,
         Resume::reconcile, true, true, false},
        {"other scopes",
         [](core::SnapshotInfo& h) {
             h.exclHash = core::VolumeID::configHash({"/x/excluded"}, {h.root + "/a"}, {"mp3"});
         },
         0, Resume::reconcile, true, true, false},
        {"other include extensions",
         [](core::SnapshotInfo& h) { h.exclHash = core::VolumeID::configHash({"/x/excluded"}, {h.root}, {"flac"}); }, 0,
         Resume::reconcile, true, true, false},
        {"24 of 100 deleted", unchanged, 24},
        {"25 of 100 deleted", unchanged, 25, Resume::reconcile, true, true, false},
        {"resume none", unchanged, 0, std::nullopt, true, true, false},
        {"resume replay", unchanged, 0, Resume::replay},
        {"persist off", unchanged, 0, Resume::reconcile, false, true, false},
        {"loading off", unchanged, 0, Resume::reconcile, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Volumes v;
        v.resumeAnswer = c.resume;
        auto header = v.header("VOL-1", v.root());
        c.header(header);
        const auto saved = v.save("VOL-1", v.root(), header, c.deleted);
        const std::string file = core::VolumeID::snapshotPath("VOL-1", v.root(), v.data());
        const std::string bytes = test::readFile(file);

        auto online = v.online();
        online.persist = c.persist;
        online.loadSnapshot = c.load;
        const auto context = v.context();
        const auto s = VolumeState::create(online, context);

        EXPECT_EQ(s->snapshotPath(), file);
        EXPECT_EQ(test::readFile(file), bytes) << "the snapshot file is left as it was";
        EXPECT_EQ(s->index()->includeExts(), std::vector<std::string>{"mp3"});
        EXPECT_EQ(s->index()->content(), c.persist ? v.content : nullptr);
        EXPECT_FALSE(s->offline.get());
        expectCommonInitialValues(*s, context);
        if (c.accepted) {
            ASSERT_TRUE(s->loaded().has_value());
            EXPECT_EQ(s->loaded()->uuid, "VOL-1");
            EXPECT_EQ(s->loaded()->root, v.root());
            EXPECT_EQ(s->resume(), c.resume);
            EXPECT_TRUE(s->updating.get());
            EXPECT_FALSE(s->scanning.get());
            EXPECT_EQ(s->index()->storeID(), saved->storeID());
            EXPECT_EQ(s->index()->count(), 100u);
            EXPECT_EQ(s->count.get(), 100 - c.deleted);
            EXPECT_EQ(v.asked, (std::vector<std::string>{"uuid /", "resume " + v.root() + " on ext4"}));
        } else {
            EXPECT_EQ(s->loaded(), std::nullopt);
            EXPECT_EQ(s->resume(), std::nullopt);
            EXPECT_TRUE(s->scanning.get());
            EXPECT_FALSE(s->updating.get());
            EXPECT_EQ(s->count.get(), 0);
            EXPECT_EQ(s->index()->count(), 0u);
            EXPECT_NE(s->index()->storeID(), saved->storeID());
            EXPECT_EQ(s->index()->excludes(), online.excludes);
        }
        if (!c.persist || !c.load) {
            EXPECT_EQ(v.asked, std::vector<std::string>{"uuid /"}) << "no snapshot is read";
        }
    }
}

TEST(VolumeState, AudioTableOfTheSameSnapshotOnly) {
    for (const bool foreign : {false, true}) {
        SCOPED_TRACE(foreign ? "foreign table" : "same store id");
        Volumes v;
        const auto saved = v.save("VOL-1", v.root(), v.header("VOL-1", v.root()));
        const std::string file = core::VolumeID::snapshotPath("VOL-1", v.root(), v.data());
        auto owner = foreign ? core::VolumeIndex::create(100, 4096, {}) : saved;
        owner->audioAttached()->upsert({{5, 10, {}}, {6, 10, {}}});
        ASSERT_TRUE(owner->saveAudio(file));

        const auto s = VolumeState::create(v.online(), v.context());
        ASSERT_TRUE(s->loaded().has_value());
        const auto audio = s->index()->audio();
        if (foreign) {
            EXPECT_EQ(audio, nullptr);
        } else {
            ASSERT_NE(audio, nullptr);
            EXPECT_EQ(audio->count(), 2u);
        }
    }
}

TEST(VolumeState, UuidAndPrefKey) {
    // The first root whose hash starts with a zero digit shows that no leading zeros are written.
    std::string shortHashRoot;
    for (int i = 0; shortHashRoot.empty(); ++i)
        if (core::VolumeID::fnv("/Users/a" + std::to_string(i)) >> 60 == 0)
            shortHashRoot = "/Users/a" + std::to_string(i);

    struct Case {
        std::string root;
        std::optional<std::string> volumeUUID;
        bool mountTable;
        std::string uuid;
        std::string prefKey;
    };
    const Case cases[] = {
        {"/Users/a", std::nullopt, true, "path-" + hexOf(core::VolumeID::fnv("/Users/a")), "/Users/a"},
        {shortHashRoot, std::nullopt, true, "path-" + hexOf(core::VolumeID::fnv(shortHashRoot)), shortHashRoot},
        {"/Users/a", "0f1e-77", true, "0f1e-77", "0f1e-77"},
        {"/Users/a", "0f1e-77", false, "path-" + hexOf(core::VolumeID::fnv("/Users/a")), "/Users/a"},
    };
    for (const auto& c : cases) {
        Volumes v;
        v.volumeUUID = c.volumeUUID;
        auto context = v.context();
        if (!c.mountTable) context.mounts = [] { return VolumeContext::MountTable(); };
        auto online = v.online();
        online.root = c.root;
        const auto s = VolumeState::create(online, context);
        EXPECT_EQ(s->uuid(), c.uuid) << c.root;
        EXPECT_EQ(s->prefKey(), c.prefKey) << c.root;
        EXPECT_EQ(s->id(), c.root);
        EXPECT_EQ(s->snapshotPath(), core::VolumeID::snapshotPath(c.uuid, c.root, v.data()));
        EXPECT_EQ(s->configHash(), core::VolumeID::configHash(online.excludes, online.scopes, online.includeExts));
        EXPECT_FALSE(s->isNetwork());
    }
    EXPECT_LT(hexOf(core::VolumeID::fnv(shortHashRoot)).size(), 16u);
}

TEST(VolumeState, NetworkVolume) {
    const std::string nas = "/mnt/nas";
    const std::string uuid = "path-" + hexOf(core::VolumeID::fnv(nas));
    const Date scanned(1'700'000'000s);
    const Date saved(1'600'000'000s);
    struct Case {
        std::string what;
        bool isInternal;
        bool scanTimesEntry;
        bool snapshot;
        bool network;
        std::optional<Date> lastScanned;
    };
    const Case cases[] = {
        {"scan-times entry", false, true, true, true, scanned},
        {"accepted snapshot only", false, false, true, true, saved},
        {"neither", false, false, false, true, std::nullopt},
        {"scan-times entry of the internal volume", true, true, false, false, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Volumes v;
        v.mounts.push_back(mountAt(nas, "cifs", "//server/share"));
        v.resumeAnswer = Resume::scheduled;
        auto online = v.online();
        online.root = nas;
        online.scopes = {nas};
        online.isInternal = c.isInternal;
        const auto hash = core::VolumeID::configHash(online.excludes, online.scopes, online.includeExts);
        if (c.snapshot) v.save(uuid, nas, snapshotHeader(uuid, nas, saved, hash));
        if (c.scanTimesEntry) {
            core::ScanTimes times;
            times.times[uuid] = scanned;
            times.times["other"] = saved;
            ASSERT_TRUE(times.save(v.data() / "scan-times.json"));
        }
        const auto s = VolumeState::create(online, v.context());
        EXPECT_EQ(s->isNetwork(), c.network);
        EXPECT_EQ(s->uuid(), uuid);
        EXPECT_EQ(s->prefKey(), nas);
        EXPECT_EQ(s->lastScanned.get(), c.lastScanned);
        const std::optional<Resume> resume = c.snapshot ? std::optional(Resume::scheduled) : std::nullopt;
        EXPECT_EQ(s->resume(), resume);
        const std::vector<std::string> asked =
            c.snapshot ? std::vector<std::string>{"resume " + nas + " on cifs"} : std::vector<std::string>{};
        EXPECT_EQ(v.asked, asked) << "no volume key is asked of a network root";
    }
}

// Answers the event-log identity it is given and counts the questions.
class CountingEvents final : public platform::EventSource {
public:
    std::uint64_t currentId() override { return 0; }
    std::optional<std::string> eventLogIdentity(dev_t) override {
        ++asked;
        return identity;
    }
    void watchFolder(const std::string&) override {}
    std::unique_ptr<platform::EventStream> open(const std::vector<std::string>&, std::uint64_t,
                                                platform::Clock::Duration, platform::Executor&,
                                                platform::FileEventBatch) override {
        return nullptr;
    }

    std::optional<std::string> identity;
    int asked = 0;
};

TEST(VolumeState, DefaultResumeRule) {
    test::TempDir dir;
    platform::FakeClock clock;
    const auto now =
        Date(std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(clock.wallSeconds())));
    struct Case {
        std::string what;
        std::optional<platform::MountEntry> mount;
        std::string root;
        std::optional<std::string> identity;
        std::string snapshotIdentity;
        std::chrono::seconds age;
        std::optional<Resume> resume;
        int asked;
    };
    const std::string local = dir.path().string();
    const Case cases[] = {
        {"network, never examined", mountAt("/mnt/nas", "cifs", "//s/x"), "/mnt/nas/missing", "E1", "E1", 0s,
         Resume::scheduled, 0},
        {"sshfs", mountAt("/media/u/host", "fuse.sshfs", "u@h:/"), local, std::nullopt, "", 0s, Resume::scheduled, 0},
        {"ext4 without identity", mountAt("/", "ext4", "/dev/sda1"), local, std::nullopt, "", 0s, Resume::reconcile, 1},
        {"same identity, young", mountAt("/", "ext4", "/dev/sda1"), local, "E1", "E1", 86'400s, Resume::replay, 1},
        {"same identity, 7 days old", mountAt("/", "ext4", "/dev/sda1"), local, "E1", "E1", 604'800s, std::nullopt, 1},
        {"other identity", mountAt("/", "ext4", "/dev/sda1"), local, "E2", "E1", 0s, std::nullopt, 1},
        {"tmpfs", mountAt("/", "tmpfs", "tmpfs"), local, std::nullopt, "", 0s, std::nullopt, 1},
        {"no mount entry", std::nullopt, local, std::nullopt, "", 0s, std::nullopt, 1},
        {"missing root", mountAt("/", "ext4", "/dev/sda1"), local + "/missing", "E1", "E1", 0s, Resume::reconcile, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto events = std::make_shared<CountingEvents>();
        events->identity = c.identity;
        const auto rule = defaultResumeRule(events, clock);
        core::SnapshotInfo snapshot = snapshotHeader("", c.root, now - c.age, 0);
        snapshot.fseUUID = c.snapshotIdentity;
        EXPECT_EQ(rule(snapshot, c.root, c.mount ? &*c.mount : nullptr), c.resume);
        EXPECT_EQ(events->asked, c.asked);
    }
}

TEST(VolumeState, OfflineCatalog) {
    Volumes v;
    auto index = core::VolumeIndex::scanned({v.root()}, 1);
    index->countChangesForTesting(0, 3);
    const auto info = snapshotHeader("VOL-9", "/media/u/Old", Date(1'650'000'000s), 0x1234);
    const auto context = v.context();
    const auto s =
        VolumeState::create(VolumeState::Offline{"Old", "/media/u/Old", "/d/VOL-9-1.idx", index, info}, context);

    const auto text = [](bool b) { return std::string(b ? "true" : "false"); };
    const std::vector<std::pair<std::string, std::string>> fields = {
        {"id " + s->id(), "id /media/u/Old"},
        {"name " + s->name(), "name Old"},
        {"root " + s->root(), "root /media/u/Old"},
        {"displayPrefix " + s->displayPrefix(), "displayPrefix "},
        {"isInternal " + text(s->isInternal()), "isInternal false"},
        {"index " + text(s->index() == index), "index true"},
        {"uuid " + s->uuid(), "uuid VOL-9"},
        {"snapshotPath " + s->snapshotPath(), "snapshotPath /d/VOL-9-1.idx"},
        {"scopes " + (s->scopes().size() == 1 ? s->scopes()[0] : "?"), "scopes /media/u/Old"},
        {"includeExts " + std::to_string(s->includeExts().size()), "includeExts 0"},
        {"configHash " + hexOf(s->configHash()), "configHash 1234"},
        {"loaded " + (s->loaded() ? s->loaded()->uuid : "none"), "loaded VOL-9"},
        {"resume " + text(s->resume().has_value()), "resume false"},
        {"isNetwork " + text(s->isNetwork()), "isNetwork false"},
        {"prefKey " + s->prefKey(), "prefKey /media/u/Old"},
        {"scanning " + text(s->scanning.get()), "scanning false"},
        {"updating " + text(s->updating.get()), "updating false"},
        {"offline " + text(s->offline.get()), "offline true"},
        {"catalogDate " + text(s->catalogDate == info.savedAt), "catalogDate true"},
        {"lastScanned " + text(s->lastScanned.get().has_value()), "lastScanned false"},
        {"count " + std::to_string(s->count.get()), "count 97"},
        {"content " + text(s->index()->content() != nullptr), "content false"},
    };
    for (const auto& [seen, expected] : fields) EXPECT_EQ(seen, expected);
    expectCommonInitialValues(*s, context);
    EXPECT_TRUE(v.asked.empty()) << "a catalog asks nothing of the system";
}

TEST(VolumeState, DisplayPath) {
    struct Case {
        std::string prefix;
        std::string path;
        std::string shown;
    };
    const Case cases[] = {
        {"/Volumes/Data", "/Volumes/Data", "/"},
        {"/Volumes/Data", "/Volumes/Data/x", "/x"},
        {"/Volumes/Data", "/Volumes/Other/x", "/Volumes/Other/x"},
        {"/media/u/Data", "/media/u/DataX/y", "/media/u/DataX/y"},
        {"/media/u/Data", "/media/u/Data/a/b", "/a/b"},
        {"/media/u/Data/", "/media/u/Data/a", "/a"},
        {"/media/u/Data", "/media/u", "/media/u"},
        {"", "/media/u/Data/a", "/media/u/Data/a"},
        {"", "", ""},
    };
    Volumes v;
    for (const auto& c : cases) {
        auto online = v.online();
        online.displayPrefix = c.prefix;
        online.persist = false;
        const auto s = VolumeState::create(online, v.context());
        EXPECT_EQ(s->displayPath(c.path), c.shown) << "prefix " << c.prefix << ", path " << c.path;
    }
}

// Every published field announces its change through the state's objectWillChange.
TEST(VolumeState, PublishedFieldsAnnounceChanges) {
    Volumes v;
    auto online = v.online();
    online.persist = false;
    const auto s = VolumeState::create(online, v.context());
    int announced = 0;
    const auto connection = s->objectWillChange.connect([&] { ++announced; });
    const std::vector<std::pair<std::string, std::function<void()>>> changes = {
        {"audioRunning", [&] { s->audioRunning.set(true); }},
        {"audioDone", [&] { s->audioDone.set(1); }},
        {"audioTotal", [&] { s->audioTotal.set(2); }},
        {"count", [&] { s->count.set(3); }},
        {"scanning", [&] { s->scanning.set(false); }},
        {"updating", [&] { s->updating.set(true); }},
        {"seconds", [&] { s->seconds.set(1.5); }},
        {"failure", [&] { s->failure.set("cannotOpen(\"/x\")"); }},
        {"offline", [&] { s->offline.set(true); }},
        {"lastScanned", [&] { s->lastScanned.set(Date(1s)); }},
    };
    for (const auto& [field, change] : changes) {
        const int before = announced;
        change();
        EXPECT_EQ(announced, before + 1) << field;
    }
}

}  // namespace
}  // namespace quorvanta::app
