// Turning the language choice ("system" or a language code) into the language in use: its code,
// the translation file that serves it (if any) and the locale that formats numbers.
//
// Only a code from the shipped list names a file, so a stored choice can never make the lookup
// read outside the translation folder. "system" follows the environment as gettext programs do:
// the first of LANGUAGE (a colon list), LC_ALL, LC_MESSAGES and LANG that names a shipped
// language, exactly or by its language alone; the number locale comes from LC_ALL, LC_NUMERIC or
// LANG. Pure functions; any thread may call them.
#pragma once

#include "QuorvantaCore/util/Locale.h"

#include <span>
#include <string>
#include <string_view>

namespace quorvanta::core {

// The language the keys are written in; it has no translation file.
inline constexpr std::string_view kSourceLanguage = "en";

// The locale variables that choose the language; an unset variable is empty.
struct LanguageEnvironment {
    std::string language{};    // LANGUAGE
    std::string lcAll{};       // LC_ALL
    std::string lcMessages{};  // LC_MESSAGES
    std::string lcNumeric{};   // LC_NUMERIC
    std::string lang{};        // LANG

    static LanguageEnvironment ofProcess();
};

struct ResolvedLanguage {
    std::string code;  // "de", "pt-BR", or the choice as given when it is not shipped
    std::string file;  // the translation file's stem ("de", "pt_BR"); empty for none
    Locale locale;
};

// The English default for number formats.
Locale fallbackLocale();

// Whether `code` has the shape of a language tag: 2-3 letters, then any number of "-" or "_"
// and 2-8 letters or digits.
bool isWellFormedLanguageCode(std::string_view code);

// Resolves `choice` against the `shipped` codes (kSourceLanguage among them) in `environment`.
ResolvedLanguage resolveLanguage(std::string_view choice, std::span<const std::string_view> shipped,
                                 const LanguageEnvironment& environment);

}  // namespace quorvanta::core
