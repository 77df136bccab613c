#include "QuorvantaCore/lang/Lang.h"
#include "QuorvantaCore/lang/Tr.h"

#include "QuorvantaCore/util/Format.h"
#include "platform/dispatch/ManualMainQueue.h"
#include "platform/settings/FileSettings.h"
#include "platform/time/Clock.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::core {
namespace {

constexpr std::string_view kHeader = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";

// A translation folder with a small ja.po and de.po, a damaged es.po, and an x.po planted one
// folder above it.
struct Fixture {
    test::TempDir dir;
    std::filesystem::path folder = dir / "lang";

    Fixture() {
        const std::string header(kHeader);
        dir.write("lang/ja.po", header +
                                    "msgid \"Open\"\nmsgstr \"開く\"\n\n"
                                    "msgid \"%@ files in %lld folders\"\n"
                                    "msgstr \"%2$lld個のフォルダに%1$@個のファイル\"\n");
        dir.write("lang/de.po", header +
                                    "msgid \"Open\"\nmsgstr \"Öffnen\"\n\n"
                                    "msgid \"%@ files in %lld folders\"\n"
                                    "msgstr \"%@ Dateien in %lld Ordnern\"\n");
        dir.write("lang/es.po", header + "msgid \"Open\"\nmsgstr \"Abrir\n");
        dir.write("x.po", header + "msgid \"Open\"\nmsgstr \"PLANTED\"\n");
        dir.write("lang/x.po", header + "msgid \"Open\"\nmsgstr \"PLANTED\"\n");
    }
};

// Settings that count how often they are written.
class CountingSettings final : public platform::Settings {
public:
    int writes = 0;

protected:
    void persist(const nlohmann::json&) override { ++writes; }
};

struct Harness {
    Fixture fixture;
    CountingSettings settings;
    platform::NotificationCenter notifications;
    platform::FakeClock clock;
    platform::ManualMainQueue mainQueue{clock};

    Lang make(LanguageEnvironment environment = {}) {
        return Lang(Lang::Setup{settings, notifications, fixture.folder, std::move(environment)});
    }
};

TEST(Lang, CreationReadsTheStoredChoice) {
    Harness h;
    {
        const auto lang = h.make({.language = "de"});
        EXPECT_EQ(lang.choice(), "system") << "nothing stored";
        EXPECT_EQ(lang.code(), "de");
        EXPECT_EQ(lang.tr("Open"), "Öffnen");
    }
    {
        const auto lang = h.make({.lang = "sv_SE.UTF-8"});
        EXPECT_EQ(lang.code(), "en") << "no shipped language matches";
        EXPECT_EQ(lang.tr("Open"), "Open");
        EXPECT_EQ(Format::size(1500, lang.language()->locale), "1,5 KB") << "numbers follow LANG";
    }
    h.settings.setText(Lang::defaultsKey, "ja");
    const auto lang = h.make({.language = "de"});
    EXPECT_EQ(lang.choice(), "ja");
    EXPECT_EQ(lang.code(), "ja");
    EXPECT_EQ(h.settings.writes, 1) << "creating stores nothing";
}

TEST(Lang, SetChoiceStoresOnceAndNotifiesOnceAfterTheObservers) {
    Harness h;
    auto lang = h.make();
    std::vector<std::string> events;
    const auto willChange = lang.objectWillChange().connect([&] { events.push_back("willChange:" + lang.choice()); });
    const auto observer = lang.observeChoice([&](const std::string& choice) { events.push_back("choice:" + choice); });
    const auto notice = h.notifications.observe(
        Lang::didChange, h.mainQueue, [&] { events.push_back("notice:" + lang.choice() + ":" + lang.code()); });

    lang.setChoice("ja");
    lang.setChoice("ja");
    h.mainQueue.drain();
    EXPECT_EQ(events, (std::vector<std::string>{"willChange:system", "choice:ja", "notice:ja:ja"}));
    EXPECT_EQ(h.settings.writes, 1);
    EXPECT_EQ(h.settings.text(Lang::defaultsKey), "ja");

    events.clear();
    lang.setChoice("system");
    h.mainQueue.drain();
    EXPECT_EQ(events, (std::vector<std::string>{"willChange:ja", "choice:system", "notice:system:en"}));
    EXPECT_EQ(h.settings.text(Lang::defaultsKey), "system");
}

TEST(Lang, ChoiceLandsInTheSettingsFile) {
    const test::TempDir dir;
    const auto path = dir / "config" / "settings.json";
    Fixture fixture;
    platform::NotificationCenter notifications;
    {
        platform::FileSettings settings(path);
        Lang lang(Lang::Setup{settings, notifications, fixture.folder, {}});
        lang.setChoice("de");
    }
    platform::FileSettings reread(path);
    EXPECT_EQ(reread.text("language"), "de");
    const Lang lang(Lang::Setup{reread, notifications, fixture.folder, {}});
    EXPECT_EQ(lang.choice(), "de");
    EXPECT_EQ(lang.tr("Open"), "Öffnen");
}

TEST(Lang, TranslatesInTheChosenLanguage) {
    Harness h;
    auto lang = h.make();
    const struct {
        const char* choice;
        const char* open;
        const char* counted;  // "%@ files in %lld folders" with "12" and 3
        const char* size1500;
    } cases[] = {
        {"ja", "開く", "3個のフォルダに12個のファイル", "1.5 KB"},
        {"de", "Öffnen", "12 Dateien in 3 Ordnern", "1,5 KB"},
        {"sv", "Open", "12 files in 3 folders", "1,5 KB"},  // no file: English, Swedish numbers
        {"es", "Open", "12 files in 3 folders", "1,5 KB"},  // damaged file: English
        {"en", "Open", "12 files in 3 folders", "1.5 KB"},
        {"../x", "Open", "12 files in 3 folders", "1.5 KB"},  // never reads the planted x.po
        {"x", "Open", "12 files in 3 folders", "1.5 KB"},     // not shipped: no file either
        {"", "Open", "12 files in 3 folders", "1.5 KB"},
        {"JA", "開く", "3個のフォルダに12個のファイル", "1.5 KB"},  // either case names the file
    };
    for (const auto& c : cases) {
        lang.setChoice(c.choice);
        EXPECT_EQ(lang.choice(), c.choice) << "the choice stays as given";
        EXPECT_EQ(lang.tr("Open"), c.open) << c.choice;
        const FormatArg values[] = {"12", 3};
        EXPECT_EQ(lang.tr("%@ files in %lld folders", values), c.counted) << c.choice;
        EXPECT_EQ(lang.tr("Not translated"), "Not translated") << c.choice;
        EXPECT_EQ(Format::size(1500, lang.language()->locale), c.size1500) << c.choice;
    }
}

TEST(Lang, SharedInstanceFindsTheTranslationsBesideTheExecutable) {
    const auto folder = Lang::defaultFolder();
    EXPECT_EQ(folder, std::filesystem::read_symlink("/proc/self/exe").parent_path() / "lang");
    for (const char* language : {"de", "es", "fr", "it", "ja", "nl", "pt_BR"})
        EXPECT_TRUE(std::filesystem::is_regular_file(folder / (std::string(language) + ".po"))) << language;

    auto& lang = Lang::shared();
    const std::string before = lang.choice();
    lang.setChoice("ja");
    EXPECT_EQ(Format::size(1500, Lang::locale()), "1.5 KB");
    lang.setChoice("de");
    EXPECT_EQ(Format::size(1500, Lang::locale()), "1,5 KB");
    EXPECT_EQ(tr("Not a text of ours"), "Not a text of ours");
    EXPECT_EQ(tr("%@ of %lld", "one", 2), "one of 2");
    lang.setChoice(before);
}

TEST(Lang, SupportedLanguagesAndNames) {
    std::vector<std::string> shown;
    for (const auto& language : Lang::supported)
        shown.push_back(std::string(language.code) + "=" + std::string(language.name));
    EXPECT_EQ(shown, (std::vector<std::string>{"en=English", "de=Deutsch", "es=Español", "it=Italiano", "fr=Français",
                                               "pt-BR=Português (Brasil)", "nl=Nederlands", "ja=日本語"}));
    EXPECT_EQ(Lang::defaultsKey, "language");
    EXPECT_EQ(Lang::didChange, "quorvanta.languageChanged");
}

// Readers on other threads while the main thread flips the language: each text is wholly the
// old or wholly the new language.
TEST(LangThreads, TrGivesTheWholeOldOrTheWholeNewText) {
    Harness h;
    auto lang = h.make();
    lang.setChoice("de");
    std::atomic<bool> stop{false};
    std::atomic<int> odd{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&] {
            const FormatArg values[] = {"12", 3};
            while (!stop.load()) {
                const std::string open = lang.tr("Open");
                const std::string counted = lang.tr("%@ files in %lld folders", values);
                const std::string code = lang.code();
                const auto size = Format::size(1500, lang.language()->locale);
                if (open != "Öffnen" && open != "開く") ++odd;
                if (counted != "12 Dateien in 3 Ordnern" && counted != "3個のフォルダに12個のファイル") ++odd;
                if (code != "de" && code != "ja") ++odd;
                if (size != "1,5 KB" && size != "1.5 KB") ++odd;
            }
        });
    }
    for (int i = 0; i < 200; ++i) lang.setChoice(i % 2 == 0 ? "ja" : "de");
    stop.store(true);
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(odd.load(), 0);
}

}  // namespace
}  // namespace quorvanta::core
