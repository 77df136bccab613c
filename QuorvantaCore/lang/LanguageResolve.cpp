#include "QuorvantaCore/lang/LanguageResolve.h"

#include "QuorvantaCore/text/Case.h"

#include <cstdlib>
#include <optional>
#include <vector>

namespace quorvanta::core {

namespace {

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// Equal ignoring ASCII case, with "-" and "_" alike.
bool sameCode(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] == '_' ? '-' : static_cast<char>(text::asciiLower(a[i]));
        const char y = b[i] == '_' ? '-' : static_cast<char>(text::asciiLower(b[i]));
        if (x != y) return false;
    }
    return true;
}

std::string_view languagePart(std::string_view code) { return code.substr(0, code.find_first_of("-_")); }

// A locale variable's value without ".encoding" and "@modifier"; empty for "C" and "POSIX".
std::string_view localeName(std::string_view value) {
    value = value.substr(0, value.find_first_of(".@"));
    if (value == "C" || value == "POSIX") return {};
    return value;
}

// The shipped code that `candidate` names exactly.
std::optional<std::string_view> exactMatch(std::string_view candidate, std::span<const std::string_view> shipped) {
    for (const auto code : shipped)
        if (sameCode(code, candidate)) return code;
    return std::nullopt;
}

// The shipped code that `candidate` names exactly, else the first of the same language.
std::optional<std::string_view> match(std::string_view candidate, std::span<const std::string_view> shipped) {
    if (const auto code = exactMatch(candidate, shipped)) return code;
    for (const auto code : shipped)
        if (sameCode(languagePart(code), languagePart(candidate))) return code;
    return std::nullopt;
}

std::string fileStem(std::string_view code) {
    if (code == kSourceLanguage) return {};
    std::string stem(code);
    for (char& c : stem)
        if (c == '-') c = '_';
    return stem;
}

Locale localeFor(std::string_view name) { return isWellFormedLanguageCode(name) ? Locale(name) : fallbackLocale(); }

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

LanguageEnvironment LanguageEnvironment::ofProcess() {
    return {variable("LANGUAGE"), variable("LC_ALL"), variable("LC_MESSAGES"), variable("LC_NUMERIC"),
            variable("LANG")};
}

Locale fallbackLocale() { return Locale(kSourceLanguage); }

bool isWellFormedLanguageCode(std::string_view code) {
    std::size_t i = 0;
    while (i < code.size() && isAsciiLetter(code[i])) ++i;
    if (i < 2 || i > 3) return false;
    while (i < code.size()) {
        if (code[i] != '-' && code[i] != '_') return false;
        const std::size_t start = ++i;
        while (i < code.size() && (isAsciiLetter(code[i]) || isAsciiDigit(code[i]))) ++i;
        if (i - start < 2 || i - start > 8) return false;
    }
    return true;
}

ResolvedLanguage resolveLanguage(std::string_view choice, std::span<const std::string_view> shipped,
                                 const LanguageEnvironment& environment) {
    if (choice != "system") {
        if (const auto code = exactMatch(choice, shipped)) return {std::string(*code), fileStem(*code), Locale(*code)};
        return {std::string(choice), {}, localeFor(choice)};
    }

    std::string_view code = kSourceLanguage;
    std::vector<std::string_view> candidates;
    for (std::string_view list = environment.language; !list.empty();) {
        const std::size_t colon = list.find(':');
        candidates.push_back(list.substr(0, colon));
        list = colon == std::string_view::npos ? std::string_view{} : list.substr(colon + 1);
    }
    for (const std::string* value : {&environment.lcAll, &environment.lcMessages, &environment.lang})
        candidates.push_back(*value);
    for (const auto candidate : candidates) {
        const std::string_view name = localeName(candidate);
        if (name.empty()) continue;
        if (const auto found = match(name, shipped)) {
            code = *found;
            break;
        }
    }

    std::string_view numbers;
    for (const std::string* value : {&environment.lcAll, &environment.lcNumeric, &environment.lang}) {
        if (value->empty()) continue;
        numbers = localeName(*value);
        break;
    }
    return {std::string(code), fileStem(code), numbers.empty() ? fallbackLocale() : localeFor(numbers)};
}

}  // namespace quorvanta::core
