// The interface language: the user's choice ("system" or a language code), kept under "language"
// in the settings store, and the language it resolves to (LanguageResolve.h): the code, the
// translations read from lang/<code>.po, and the locale that formats numbers. Every text the
// user reads goes through tr (Tr.h), which asks the shared instance.
//
// Threads: choice(), observeChoice() and setChoice() belong to the main thread. language(),
// code(), tr() and the static locale() are safe from any thread: the resolved language is one
// immutable object, replaced whole after each change of choice, so a text looked up while the
// choice changes comes wholly in the old or wholly in the new language.
#pragma once

#include "QuorvantaCore/lang/LanguageResolve.h"
#include "QuorvantaCore/lang/PoReader.h"
#include "QuorvantaCore/lang/TextFormat.h"
#include "QuorvantaCore/observe/Published.h"
#include "QuorvantaCore/util/Locale.h"
#include "platform/notify/NotificationCenter.h"
#include "platform/notify/NotificationNames.h"
#include "platform/settings/Settings.h"

#include <array>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace quorvanta::core {

class Lang {
public:
    // One resolved language; never changed once published.
    struct Language {
        std::string code;
        Locale locale;
        StringTable strings;  // empty for English and for languages without a file
    };

    struct SupportedLanguage {
        std::string_view code;
        std::string_view name;  // the language's own name, never translated
    };

    static constexpr std::string_view defaultsKey = "language";
    static constexpr std::string_view didChange = platform::notification_names::kLanguageChanged;
    // The selectable languages, in display order.
    static constexpr std::array<SupportedLanguage, 8> supported{{
        {"en", "English"},
        {"de", "Deutsch"},
        {"es", "Español"},
        {"it", "Italiano"},
        {"fr", "Français"},
        {"pt-BR", "Português (Brasil)"},
        {"nl", "Nederlands"},
        {"ja", "日本語"},
    }};

    // Where a Lang keeps its choice, where it announces changes, where the translation files are,
    // and the locale variables that "system" follows.
    struct Setup {
        platform::Settings& settings;
        platform::NotificationCenter& notifications;
        std::filesystem::path folder;
        LanguageEnvironment environment;
    };

    // Reads the stored choice ("system" when there is none) and resolves it.
    explicit Lang(Setup setup);
    Lang(const Lang&) = delete;
    Lang& operator=(const Lang&) = delete;

    // The process-wide instance, made on first use: the standard settings store and notification
    // centre, the translation folder found beside the executable, the process environment.
    static Lang& shared();
    // The shared instance's locale, for formatting numbers the user reads.
    static Locale locale();

    // The translation folder of an installed or built program: "lang" beside the executable, else
    // "../share/quorvanta/lang" from it.
    static std::filesystem::path defaultFolder();

    const std::string& choice() const { return choice_.get(); }
    // `receiver` gets each new choice before choice() returns it.
    Connection observeChoice(Signal<std::string>::Receiver receiver) { return choice_.observe(std::move(receiver)); }
    // Fires before each change of choice.
    Signal<>& objectWillChange() { return objectWillChange_; }

    // Changes the choice: tells the observers, stores it, resolves it and posts didChange. The
    // same choice again does nothing. The choice is kept as given, also when it is no shipped
    // language (texts then stay English).
    void setChoice(std::string_view choice);

    std::shared_ptr<const Language> language() const;
    std::string code() const { return language()->code; }

    // The translation of `key`, or `key` itself when there is none.
    std::string tr(std::string_view key) const;
    // The same with the values inserted (TextFormat.h).
    std::string tr(std::string_view key, std::span<const FormatArg> args) const;

private:
    void resolve();

    platform::Settings& settings_;
    platform::NotificationCenter& notifications_;
    const std::filesystem::path folder_;
    const LanguageEnvironment environment_;
    Signal<> objectWillChange_;
    Published<std::string> choice_;
    mutable std::mutex languageMutex_;  // guards language_ (the pointer; the object is immutable)
    std::shared_ptr<const Language> language_;
};

}  // namespace quorvanta::core
