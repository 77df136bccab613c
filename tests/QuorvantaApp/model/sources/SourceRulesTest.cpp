#include "QuorvantaApp/model/sources/SourceRules.h"

#include "tests/QuorvantaApp/model/reports/ReportFixtures.h"
#include "tests/QuorvantaApp/model/sources/SourceFixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::app::test {
namespace {

TEST(SourceRules, IncludeOnlyFeedback) {
    const LanguageScope english;
    const std::string count = " file types are indexed; folders always. Applies to all drives and triggers a new scan.";
    const std::string notUnderstood = "Not understood (only *.extension, separated by semicolons): ";
    struct Case {
        std::string text;
        PatternFeedback expected;
    };
    const Case cases[] = {
        {"", {"All files are indexed.", false}},
        {" ;, \n", {"All files are indexed.", false}},
        {"*.mp3;*.FLAC", {"Only 2" + count, false}},
        {"*.mp3;*.MP3;.mp3;mp3", {"Only 1" + count, false}},
        {"*.mp3;*.fl?c", {notUnderstood + "*.fl?c", true}},
        {"*.fl?c, *. x/y;*.mp3 C:x", {notUnderstood + "*.fl?c *. x/y C:x", true}},
    };
    for (const auto& c : cases) EXPECT_EQ(includeOnlyFeedback(c.text), c.expected) << '"' << c.text << '"';
}

TEST(SourceRules, RejectedPatternsLineOfEachField) {
    const LanguageScope english;
    struct Case {
        std::vector<std::string> rejected;
        PatternField field;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {{}, PatternField::category, std::nullopt},
        {{}, PatternField::includeOnly, std::nullopt},
        {{"*.fl?c", "x/y"}, PatternField::category, "Not understood: *.fl?c x/y"},
        {{"*."}, PatternField::includeOnly, "Not understood (only *.extension, separated by semicolons): *."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rejectedPatternsLine(c.rejected, c.field), c.expected) << c.rejected.size() << " rejected";
    const LanguageScope german("de");
    EXPECT_EQ(rejectedPatternsLine({"a/b"}, PatternField::category), "Nicht verstanden: a/b");
}

TEST(SourceRules, CanIndex) {
    struct Case {
        std::string name;
        std::vector<std::string> personalFolders;  // that exist in the home folder
        std::function<void(SourceDraft&)> edit;
        bool expected;
    };
    const auto set = [](const Candidate& drive, SourceConfig config) {
        return [&drive, config](SourceDraft& d) { d.setConfig(drive, config); };
    };
    const Case cases[] = {
        {"the system disk's default with one personal folder", {"Documents"}, [](SourceDraft&) {}, true},
        {"the system disk's default without personal folders", {}, [](SourceDraft&) {}, false},
        {"all drives off",
         {"Documents"},
         set(kSystem, {.enabled = false, .whole = false, .folders = {"x"}, .rescan = {}}),
         false},
        {"selected folders only, none chosen",
         {"Documents"},
         set(kSystem, {.enabled = true, .whole = false, .folders = {}, .rescan = {}}),
         false},
        {"the entire system disk",
         {},
         set(kSystem, {.enabled = true, .whole = true, .folders = {}, .rescan = {}}),
         true},
        {"a whole drive", {}, set(kBackup, {.enabled = true, .whole = true, .folders = {}, .rescan = {}}), true},
        {"a drive's folder",
         {},
         set(kBackup, {.enabled = true, .whole = false, .folders = {"Photos"}, .rescan = {}}),
         true},
        {"a disabled drive's folder",
         {},
         set(kBackup, {.enabled = false, .whole = false, .folders = {"Photos"}, .rescan = {}}),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TempHome home(c.personalFolders);
        const Stored stored;
        SourceDraft draft(*stored.prefs, {kSystem, kBackup});
        c.edit(draft);
        EXPECT_EQ(canIndex(draft), c.expected);
    }
}

TEST(SourceRules, ApplyButtonAndHint) {
    const LanguageScope english;
    const TempHome home({"Music"});
    const std::string changed = "Changed drives and folders are scanned again.";
    const std::string unchanged = "Quorvanta only indexes what is selected here.";
    struct Case {
        std::string name;
        std::function<void(SourceDraft&)> edit;
        bool canApply;
        std::string hint;
    };
    const auto toggleBackup = [](SourceDraft& d) {
        SourceConfig config = d.config(kBackup);
        config.enabled = true;
        d.setConfig(kBackup, config);
    };
    const Case cases[] = {
        {"no edit", [](SourceDraft&) {}, false, unchanged},
        {"one toggle", toggleBackup, true, changed},
        {"new file types", [](SourceDraft& d) { d.includeOnly.set("*.mp3"); }, true, changed},
        {"one toggle and a rejected entry",
         [&](SourceDraft& d) {
             toggleBackup(d);
             d.includeOnly.set("*.mp3;*.fl?c");
         },
         false, changed},
        {"a rejected entry alone", [](SourceDraft& d) { d.includeOnly.set("*.fl?c"); }, false, unchanged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Stored stored;
        SourceDraft draft(*stored.prefs, {kSystem, kBackup});
        c.edit(draft);
        EXPECT_EQ(canApply(draft), c.canApply);
        EXPECT_EQ(applyHint(draft), c.hint);
    }
}

TEST(SourceRules, RefusalMessage) {
    const LanguageScope english;
    struct Case {
        std::string folder;
        const Candidate& drive;
        std::string expected;
    };
    const Case cases[] = {
        {"/media/me/Backup/Photos", kSystem, "“Photos” is not on “Computer”."},
        {"/media/me/BackupOld/x/", kBackup, "“x” is not on “Backup”."},
        {"/media/me/Backup", kBackup, "“Backup” is not on “Backup”."},
        {"/", kBackup, "“/” is not on “Backup”."},
        {"/media/me/Caf\xe9", kSystem, "“Caf\xef\xbf\xbd” is not on “Computer”."},
    };
    for (const auto& c : cases) EXPECT_EQ(refusalMessage(c.folder, c.drive), c.expected) << c.folder;
    const LanguageScope german("de");
    EXPECT_EQ(refusalMessage("/mnt/x", kSystem), "„x“ liegt nicht auf „Computer“.");
}

}  // namespace
}  // namespace quorvanta::app::test
