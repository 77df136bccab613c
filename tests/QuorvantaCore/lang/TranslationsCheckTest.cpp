// scripts/check-translations on the repository and on small fixture trees.
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

namespace quorvanta::test {
namespace {

const std::filesystem::path kSourceDir = QUORVANTA_SOURCE_DIR;
const std::filesystem::path kScript = kSourceDir / "scripts" / "check-translations";
constexpr const char* kLanguages[] = {"de", "es", "fr", "it", "ja", "nl", "pt_BR"};

RunResult check(const std::filesystem::path& root) { return runProgram(kScript, {root.string()}); }

TEST(Translations, ShippedFilesTranslateEveryTextInTheCode) {
    const auto result = check(kSourceDir);
    EXPECT_EQ(result.status, 0) << result.out << result.err;
}

constexpr std::string_view kSource =
    "#include \"QuorvantaCore/lang/Tr.h\"\n"
    "// tr(\"Only in a comment\") is no text\n"
    "std::string a() { return tr(\"Open\"); }\n"
    "std::string b(std::string n, long long c) { return tr(\"%@ files in %lld folders\", n, c); }\n"
    "constexpr auto kName = trNoop(\"Folders\");\n"
    "std::string c() { return gettext(\"Not marked for us\"); }\n";

constexpr std::string_view kPo =
    "msgid \"\"\n"
    "msgstr \"\"\n"
    "\"MIME-Version: 1.0\\n\"\n"
    "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
    "\"Content-Transfer-Encoding: 8bit\\n\"\n"
    "\n"
    "msgid \"Open\"\n"
    "msgstr \"Öffnen\"\n"
    "\n"
    "msgid \"%@ files in %lld folders\"\n"
    "msgstr \"%2$lld Ordner mit \"\n"
    "\"%1$@ Dateien\"\n"
    "\n"
    "msgid \"Folders\"\n"
    "msgstr \"Ordner\"\n";

// A tree with one source file, a test file whose texts need no translation, and all seven
// language files; `change` then alters lang/de.po.
std::filesystem::path fixture(const TempDir& dir, const std::function<std::string(std::string)>& change) {
    dir.write("QuorvantaCore/lang/Texts.cpp", kSource);
    dir.write("tests/QuorvantaCore/TextsTest.cpp", "void t() { tr(\"Only in a test\"); }\n");
    for (const char* language : kLanguages) {
        const std::string po(kPo);
        dir.write(std::string("lang/") + language + ".po", std::string(language) == "de" ? change(po) : po);
    }
    return dir.path();
}

std::string replaced(std::string text, std::string_view from, std::string_view to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(Translations, CheckFailsOnEachKindOfFault) {
    const struct {
        const char* name;
        std::function<std::string(std::string)> change;
        int status;
        const char* message;  // part of what the check reports
    } cases[] = {
        {"complete", [](std::string po) { return po; }, 0, ""},
        {"one translation deleted",
         [](std::string po) { return replaced(po, "msgid \"Folders\"\nmsgstr \"Ordner\"\n", ""); }, 1,
         "lacks translations"},
        {"one translation empty", [](std::string po) { return replaced(po, "\"Ordner\"", "\"\""); }, 1,
         "lacks translations"},
        {"fuzzy entry", [](std::string po) { return replaced(po, "msgid \"Open\"", "#, fuzzy\nmsgid \"Open\""); }, 1,
         "fuzzy"},
        {"placeholder kind changed", [](std::string po) { return replaced(po, "%2$lld Ordner", "%2$@ Ordner"); }, 1,
         "placeholders differ"},
        {"placeholder dropped", [](std::string po) { return replaced(po, "\"%1$@ Dateien\"", "\"Dateien\""); }, 1,
         "placeholders differ"},
        {"broken syntax", [](std::string po) { return replaced(po, "\"Öffnen\"", "\"Öffnen"); }, 1, "msgfmt --check"},
        {"duplicate entry", [](std::string po) { return po + "\nmsgid \"Open\"\nmsgstr \"Auf\"\n"; }, 1,
         "msgfmt --check"},
    };
    for (const auto& c : cases) {
        const TempDir dir;
        const auto result = check(fixture(dir, c.change));
        EXPECT_EQ(result.status, c.status) << c.name << "\n" << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.name << "\n" << result.err;
    }
}

TEST(Translations, CheckFailsWhenALanguageFileIsMissing) {
    const TempDir dir;
    const auto root = fixture(dir, [](std::string po) { return po; });
    std::filesystem::remove(root / "lang" / "ja.po");
    const auto result = check(root);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("lang/ja.po is missing"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace quorvanta::test
