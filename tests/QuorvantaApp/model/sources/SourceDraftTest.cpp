#include "QuorvantaApp/model/sources/SourceDraft.h"

#include "tests/QuorvantaApp/model/prefs/PrefsPrinters.h"
#include "tests/QuorvantaApp/model/sources/SourceFixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::app::test {
namespace {

using nlohmann::json;

const json kDriveOff = {{"enabled", false}, {"whole", true}, {"folders", json::array()}};

// Flips `enabled` of the drive through the editor's binding.
void toggle(SourceDraft& draft, const Candidate& drive) {
    SourceConfig config = draft.config(drive);
    config.enabled = !config.enabled;
    draft.setConfig(drive, config);
}

TEST(SourceDraft, StartsFromTheSavedValues) {
    const TempHome home({"Music", "Pictures"});
    const SourceConfig backup{.enabled = true, .whole = false, .folders = {"Photos"}, .rescan = {}};
    const Stored stored(encodeSources({{"backup-uuid", backup}, {"gone-uuid", {}}}), "*.mp3");
    const SourceDraft draft(*stored.prefs, {kSystem, kBackup, kNas});

    const SourceConfig systemDefault{
        .enabled = true, .whole = false, .folders = {home.relative("Music"), home.relative("Pictures")}, .rescan = {}};
    const SourceConfig otherDefault{.enabled = false, .whole = true, .folders = {}, .rescan = {}};
    EXPECT_EQ(draft.cfg.get(),
              (SourceMap{{"sys-uuid", systemDefault}, {"backup-uuid", backup}, {"nas-uuid", otherDefault}}));
    EXPECT_EQ(*draft.includeOnly, "*.mp3");
    EXPECT_EQ(draft.candidates, (std::vector<Candidate>{kSystem, kBackup, kNas}));
    EXPECT_FALSE(draft.changed());
}

TEST(SourceDraft, EditorReadsTheEntryOrTheDefault) {
    const TempHome home({"Music"});
    const Stored stored(
        encodeSources({{"backup-uuid", {.enabled = true, .whole = true, .folders = {}, .rescan = {}}}}));
    SourceDraft draft(*stored.prefs, {kSystem, kBackup});
    draft.cfg.set({});  // no entries: each drive reads as an unconfigured one, not as saved
    EXPECT_EQ(draft.config(kSystem),
              (SourceConfig{.enabled = true, .whole = false, .folders = {home.relative("Music")}, .rescan = {}}));
    EXPECT_EQ(draft.config(kBackup), (SourceConfig{.enabled = false, .whole = true, .folders = {}, .rescan = {}}));
    EXPECT_TRUE(draft.changed()) << "a drive without an entry counts as changed";

    int announced = 0;
    const auto connection = draft.objectWillChange.connect([&] { ++announced; });
    const SourceConfig edited{.enabled = true, .whole = false, .folders = {"x"}, .rescan = core::RescanInterval::daily};
    draft.setConfig(kBackup, edited);
    EXPECT_EQ(draft.config(kBackup), edited);
    EXPECT_EQ(draft.cfg->size(), 1u);
    EXPECT_EQ(announced, 1);
}

TEST(SourceDraft, EdgeCases) {
    const TempHome home({"Music"});
    struct Case {
        std::string name;
        std::optional<std::string> sources;      // stored "sources"
        std::optional<std::string> includeOnly;  // stored "includeOnly"
        std::function<void(SourceDraft&)> edit;
        bool changed;
        std::function<void(const Stored&)> committed;  // checks after commit(); none: nothing more
    };
    const auto typed = [](std::string text) { return [text](SourceDraft& d) { d.includeOnly.set(text); }; };
    const std::string mp3Flac = "*.mp3;*.flac";
    const std::string gone = json{{"gone-uuid", {{"enabled", true}, {"whole", false}, {"folders", {"Work"}}}}}.dump();
    const Case cases[] = {
        {"include-only in other case", {}, mp3Flac, typed("*.MP3;*.Flac"), false, {}},
        {"include-only with spaces", {}, mp3Flac, typed("  *.mp3 ;\t*.flac  "), false, {}},
        {"include-only with commas and line breaks", {}, mp3Flac, typed("*.mp3,*.flac\n"), false, {}},
        {"include-only with blanks between", {}, mp3Flac, typed("*.mp3 *.flac"), false, {}},
        {"include-only with a leading dot or none", {}, mp3Flac, typed(".mp3;flac"), false, {}},
        {"include-only with a repeat", {}, mp3Flac, typed("*.mp3;*.flac;*.MP3"), false, {}},
        {"include-only with a rejected entry more", {}, mp3Flac, typed("*.mp3;*.flac;*.fl?c"), false, {}},
        {"include-only in another order", {}, mp3Flac, typed("*.flac;*.mp3"), true, {}},
        {"include-only of rejected entries only",
         {},
         "*.mp3",
         typed("*.fl?c *. a/b"),
         true,
         [](const Stored& s) {
             EXPECT_EQ(s.settings.text(Prefs::includeOnlyKey), "");
             EXPECT_EQ(s.prefs->includeOnly(), "");
         }},
        {"the same folder twice, once with a trailing /",
         {},
         {},
         [](SourceDraft& d) {
             EXPECT_TRUE(d.add("/media/me/Backup/Photos", kBackup));
             EXPECT_TRUE(d.add("/media/me/Backup/Photos", kBackup));
             EXPECT_TRUE(d.add("/media/me/Backup/Photos/", kBackup));
             EXPECT_EQ(d.config(kBackup).folders, std::vector<std::string>{"Photos"});
         },
         true,
         [](const Stored& s) {
             EXPECT_EQ(s.prefs->sources().at("backup-uuid").folders, std::vector<std::string>{"Photos"});
         }},
        {"drives without saved entries, untouched", {}, {}, [](SourceDraft&) {}, false, {}},
        {"a drive without a saved entry toggled on and off",
         {},
         {},
         [](SourceDraft& d) {
             toggle(d, kBackup);
             EXPECT_TRUE(d.changed());
             toggle(d, kBackup);
         },
         false,
         {}},
        {"the system disk toggled off and on",
         {},
         {},
         [](SourceDraft& d) {
             toggle(d, kSystem);
             toggle(d, kSystem);
         },
         false,
         {}},
        {"\"Manually\" for a network drive with no saved interval",
         {},
         {},
         [](SourceDraft& d) {
             SourceConfig config = d.config(kNas);
             config.rescan = core::RescanInterval::manual;
             d.setConfig(kNas, config);
         },
         true,
         [](const Stored& s) { EXPECT_EQ(s.prefs->sources().at("nas-uuid").rescan, core::RescanInterval::manual); }},
        {"a network drive's saved interval chosen again",
         json{{"nas-uuid", {{"enabled", true}, {"whole", true}, {"folders", json::array()}, {"rescan", "hourly"}}}}
             .dump(),
         {},
         [](SourceDraft& d) {
             SourceConfig config = d.config(kNas);
             config.rescan = core::RescanInterval::hourly;
             d.setConfig(kNas, config);
         },
         false,
         {}},
        {"the folder order",
         json{{"backup-uuid", {{"enabled", true}, {"whole", false}, {"folders", {"a", "b"}}}}}.dump(),
         {},
         [](SourceDraft& d) {
             SourceConfig config = d.config(kBackup);
             std::swap(config.folders[0], config.folders[1]);
             d.setConfig(kBackup, config);
         },
         true,
         {}},
        {"a drive that is not mounted keeps its settings",
         gone,
         {},
         [](SourceDraft& d) { toggle(d, kBackup); },
         true,
         [](const Stored& s) {
             const auto sources = json::parse(s.settings.data(Prefs::sourcesKey).value_or("{}"));
             EXPECT_EQ(sources["gone-uuid"], (json{{"enabled", true}, {"whole", false}, {"folders", {"Work"}}}));
         }},
        {"a drive that is not mounted is not compared", gone, {}, [](SourceDraft&) {}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Stored stored(c.sources, c.includeOnly);
        SourceDraft draft(*stored.prefs, {kSystem, kBackup, kNas});
        ASSERT_FALSE(draft.changed()) << "right after construction";
        c.edit(draft);
        EXPECT_EQ(draft.changed(), c.changed);
        RecordingModel model(stored.settings, draft);
        draft.commit(model);
        EXPECT_FALSE(draft.changed()) << "right after commit";
        EXPECT_EQ(model.calls.size(), 1u);
        if (c.committed) c.committed(stored);
    }
}

TEST(SourceDraftAdd, WorkedCasesOnLinuxRoots) {
    const TempHome home;  // no personal folders: the system disk's list starts empty
    struct Case {
        std::string folder;
        const Candidate& drive;
        std::optional<std::string> stored;  // none: refused
    };
    const Case cases[] = {
        // The boot volume takes any absolute path, except on a drive that comes and goes.
        {"/home/me/Music", kSystem, "home/me/Music"},
        {"/home/me/Projects", kSystem, "home/me/Projects"},  // also where a /home partition is a drive
        {"/srv/data/", kSystem, "srv/data"},
        {"/home//me/./Music/", kSystem, "home/me/Music"},
        {"/home/me/Mu\xffsic", kSystem, "home/me/Mu\xffsic"},  // bytes as they are
        {"/mediafiles/x", kSystem, "mediafiles/x"},            // whole components only
        {"/media/me/Backup/Photos", kSystem, {}},
        {"/media/me/Backup", kSystem, {}},
        {"/media", kSystem, {}},
        {"/mnt/x", kSystem, {}},
        {"/run/media/me/Stick/x", kSystem, {}},
        {"/home/me/../../media/me/Backup/x", kSystem, {}},
        {"/", kSystem, {}},
        {"//", kSystem, {}},
        {"/..", kSystem, {}},
        {"home/me", kSystem, {}},
        {"", kSystem, {}},
        // Any other drive: only below its root.
        {"/media/me/Backup/Photos/2020/", kBackup, "Photos/2020"},
        {"/media/me/Backup//Photos", kBackup, "Photos"},
        {"/media/me/Backup/a/../b", kBackup, "b"},
        {"/media/me/Backup/..x", kBackup, "..x"},
        {"/media/me/Backup", kBackup, {}},
        {"/media/me/Backup/", kBackup, {}},
        {"/media/me/Backup/.", kBackup, {}},
        {"/media/me/BackupOld/x", kBackup, {}},
        {"/media/me/Backup/../x", kBackup, {}},
        {"/media/me/Backup/..", kBackup, {}},
        {"/home/me/Music", kBackup, {}},
        {"media/me/Backup/x", kBackup, {}},
        {"/home/me/Projects", kHomePartition, "me/Projects"},
        {"/homes/me", kHomePartition, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder + " on " + c.drive.name);
        const Stored stored;
        SourceDraft draft(*stored.prefs, {kSystem, kBackup, kHomePartition});
        SourceMap expected = draft.cfg.get();
        if (c.stored) expected[c.drive.key].folders.push_back(*c.stored);  // enabled and whole stay
        EXPECT_EQ(draft.add(c.folder, c.drive), c.stored.has_value());
        EXPECT_EQ(draft.cfg.get(), expected);
    }
}

TEST(SourceDraftCommit, SavesThenApplies) {
    const TempHome home({"Music"});
    const json systemDefault = {{"enabled", true}, {"whole", false}, {"folders", {home.relative("Music")}}};
    const json gone = {{"enabled", true}, {"whole", true}, {"folders", json::array()}, {"rescan", "daily"}};
    struct Case {
        std::string name;
        std::optional<std::string> sources;
        std::optional<std::string> includeOnly;
        std::function<void(SourceDraft&)> edit;
        json expectedSources;
        std::string expectedIncludeOnly;
    };
    const Case cases[] = {
        {"an untouched draft on a fresh installation",
         {},
         {},
         [](SourceDraft&) {},
         {{"sys-uuid", systemDefault}, {"backup-uuid", kDriveOff}},
         ""},
        {"edits merged into the saved map",
         json{{"gone-uuid", gone}, {"backup-uuid", kDriveOff}}.dump(),
         "*.mp3",
         [](SourceDraft& d) {
             d.setConfig(kBackup, {.enabled = true, .whole = false, .folders = {}, .rescan = {}});
             EXPECT_TRUE(d.add("/media/me/Backup/Photos", kBackup));
             EXPECT_TRUE(d.add("/srv/data", kSystem));
             d.includeOnly.set(" MP3, *.Flac ;.wav\n");
         },
         {{"gone-uuid", gone},
          {"sys-uuid", {{"enabled", true}, {"whole", false}, {"folders", {home.relative("Music"), "srv/data"}}}},
          {"backup-uuid", {{"enabled", true}, {"whole", false}, {"folders", {"Photos"}}}}},
         "*.mp3;*.flac;*.wav"},
        {"rejected entries dropped",
         {},
         {},
         [](SourceDraft& d) { d.includeOnly.set("*.mp3;*.fl?c;*.mp3"); },
         {{"sys-uuid", systemDefault}, {"backup-uuid", kDriveOff}},
         "*.mp3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Stored stored(c.sources, c.includeOnly);
        SourceDraft draft(*stored.prefs, {kSystem, kBackup});
        EXPECT_FALSE(draft.changed()) << "right after construction";
        c.edit(draft);
        RecordingModel model(stored.settings, draft);
        draft.commit(model);

        ASSERT_EQ(model.calls.size(), 1u) << "applySources once";
        const auto& call = model.calls[0];
        ASSERT_TRUE(call.sources) << "\"sources\" written before applySources";
        EXPECT_EQ(json::parse(*call.sources), c.expectedSources);
        EXPECT_EQ(call.includeOnly, c.expectedIncludeOnly) << "\"includeOnly\" written before applySources";
        EXPECT_EQ(call.draftIncludeOnly, c.expectedIncludeOnly);
        EXPECT_EQ(*draft.includeOnly, c.expectedIncludeOnly);
        EXPECT_EQ(stored.prefs->includeOnly(), c.expectedIncludeOnly);
        EXPECT_EQ(stored.prefs->sources(), decodeSources(c.expectedSources.dump()));
        EXPECT_FALSE(draft.changed()) << "right after commit";
    }
}

}  // namespace
}  // namespace quorvanta::app::test
