#include "QuorvantaCore/lang/Lang.h"

#include <system_error>

namespace quorvanta::core {

namespace {

constexpr std::array<std::string_view, Lang::supported.size()> shippedCodes() {
    std::array<std::string_view, Lang::supported.size()> codes{};
    for (std::size_t i = 0; i < codes.size(); ++i) codes[i] = Lang::supported[i].code;
    return codes;
}

constexpr auto kShippedCodes = shippedCodes();

}  // namespace

Lang::Lang(Setup setup)
    : settings_(setup.settings),
      notifications_(setup.notifications),
      folder_(std::move(setup.folder)),
      environment_(std::move(setup.environment)),
      choice_(settings_.text(defaultsKey).value_or("system"), &objectWillChange_) {
    resolve();
}

Lang& Lang::shared() {
    // Never destroyed: threads that are still running at exit may still look up texts.
    static Lang& lang = *new Lang(Setup{platform::standardSettings(), platform::NotificationCenter::standard(),
                                        defaultFolder(), LanguageEnvironment::ofProcess()});
    return lang;
}

Locale Lang::locale() { return shared().language()->locale; }

std::filesystem::path Lang::defaultFolder() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    const auto folder = executable.parent_path();
    const std::filesystem::path candidates[] = {folder / "lang", folder.parent_path() / "share" / "quorvanta" / "lang"};
    for (const auto& candidate : candidates)
        if (std::filesystem::is_directory(candidate, error)) return candidate;
    return candidates[0];
}

void Lang::setChoice(std::string_view choice) {
    if (choice == choice_.get()) return;
    choice_.set(std::string(choice));
    settings_.setText(defaultsKey, choice);
    resolve();
    notifications_.post(didChange);
}

void Lang::resolve() {
    auto resolved = resolveLanguage(choice_.get(), kShippedCodes, environment_);
    StringTable strings;
    if (!resolved.file.empty()) strings = readPoFile(folder_ / (resolved.file + ".po")).value_or(StringTable{});
    auto language = std::make_shared<const Language>(
        Language{std::move(resolved.code), std::move(resolved.locale), std::move(strings)});
    const std::lock_guard lock(languageMutex_);
    language_.swap(language);  // the old language is released outside the lock
}

std::shared_ptr<const Lang::Language> Lang::language() const {
    const std::lock_guard lock(languageMutex_);
    return language_;
}

std::string Lang::tr(std::string_view key) const {
    const auto current = language();
    const auto found = current->strings.find(key);
    return found == current->strings.end() ? std::string(key) : found->second;
}

std::string Lang::tr(std::string_view key, std::span<const FormatArg> args) const {
    const auto current = language();
    const auto found = current->strings.find(key);
    return formatText(found == current->strings.end() ? key : std::string_view(found->second), args);
}

}  // namespace quorvanta::core
