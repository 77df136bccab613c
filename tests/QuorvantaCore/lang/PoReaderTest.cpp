#include "QuorvantaCore/lang/PoReader.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

namespace quorvanta::core {
namespace {

using Table = std::map<std::string, std::string>;

std::optional<Table> sorted(const std::optional<StringTable>& table) {
    if (!table) return std::nullopt;
    return Table(table->begin(), table->end());
}

constexpr std::string_view kHeader =
    "msgid \"\"\n"
    "msgstr \"\"\n"
    "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
    "\"Language: de\\n\"\n"
    "\n";

struct PoCase {
    const char* name;
    std::string bytes;
    std::optional<Table> expected;  // none: the file gives no table
};

TEST(PoReader, ReadsEntriesAndLeavesOutWhatDoesNotCount) {
    const std::string header(kHeader);
    const PoCase cases[] = {
        {"header only", header, Table{}},
        {"empty file", "", Table{}},
        {"one entry", header + "msgid \"Open\"\nmsgstr \"Öffnen\"\n", Table{{"Open", "Öffnen"}}},
        {"multi-line strings",
         header + "msgid \"\"\n\"Find \"\n\"duplicates\"\nmsgstr \"\"\n\"Duplikate \"\n  \"finden\"\n",
         Table{{"Find duplicates", "Duplikate finden"}}},
        {"escapes",
         header + "msgid \"Say \\\"hi\\\"\\n\\tnow\\\\\"\nmsgstr \"Sag \\\"hallo\\\"\\n\\tjetzt\\\\\\x21\\101\"\n",
         Table{{"Say \"hi\"\n\tnow\\", "Sag \"hallo\"\n\tjetzt\\!A"}}},
        {"comments of every kind",
         "# translator\n#. extracted\n#: QuorvantaCore/a.cpp:12\n#| msgid \"Opn\"\n" + header +
             "# before\nmsgid \"Open\"\nmsgstr \"Öffnen\"\n#~ msgid \"Old\"\n#~ msgstr \"Alt\"\n",
         Table{{"Open", "Öffnen"}}},
        {"fuzzy entry counts as missing",
         header + "#, fuzzy\nmsgid \"Open\"\nmsgstr \"Öffnen\"\n\nmsgid \"Close\"\nmsgstr \"Schließen\"\n",
         Table{{"Close", "Schließen"}}},
        {"fuzzy among other flags", header + "#, c-format, fuzzy\nmsgid \"Open\"\nmsgstr \"Öffnen\"\n", Table{}},
        {"other flags keep the entry", header + "#, no-c-format\nmsgid \"Open\"\nmsgstr \"Öffnen\"\n",
         Table{{"Open", "Öffnen"}}},
        {"empty translation counts as missing", header + "msgid \"Open\"\nmsgstr \"\"\n", Table{}},
        {"plural entry counts as missing",
         header +
             "msgid \"%lld file\"\nmsgid_plural \"%lld files\"\nmsgstr[0] \"%lld Datei\"\nmsgstr[1] \"%lld Dateien\"\n"
             "\nmsgid \"Open\"\nmsgstr \"Öffnen\"\n",
         Table{{"Open", "Öffnen"}}},
        {"entry with a context counts as missing", header + "msgctxt \"menu\"\nmsgid \"Open\"\nmsgstr \"Öffnen\"\n",
         Table{}},
        {"entries without blank lines between", header + "msgid \"A\"\nmsgstr \"Ä\"\nmsgid \"O\"\nmsgstr \"Ö\"\n",
         Table{{"A", "Ä"}, {"O", "Ö"}}},
        {"duplicate msgid: the first counts",
         header + "msgid \"Open\"\nmsgstr \"Öffnen\"\n\nmsgid \"Open\"\nmsgstr \"Aufmachen\"\n",
         Table{{"Open", "Öffnen"}}},
        {"byte-order mark", "\xEF\xBB\xBF" + header + "msgid \"Open\"\nmsgstr \"Öffnen\"\n", Table{{"Open", "Öffnen"}}},
        {"CRLF lines",
         "msgid \"\"\r\nmsgstr \"\"\r\n\"Language: de\\n\"\r\n\r\nmsgid \"Open\"\r\nmsgstr \"Öff\"\r\n\"nen\"\r\n",
         Table{{"Open", "Öffnen"}}},
        {"no newline at the end", header + "msgid \"Open\"\nmsgstr \"Öffnen\"", Table{{"Open", "Öffnen"}}},
        {"reordered placeholders are kept",
         header + "msgid \"%@ files in %lld folders\"\nmsgstr \"%2$lld Ordner mit %1$@ Dateien\"\n",
         Table{{"%@ files in %lld folders", "%2$lld Ordner mit %1$@ Dateien"}}},
        {"placeholder of another kind refused",
         header + "msgid \"%@ files\"\nmsgstr \"%lld Dateien\"\n\nmsgid \"Open\"\nmsgstr \"Öffnen\"\n",
         Table{{"Open", "Öffnen"}}},
        {"placeholder left out refused", header + "msgid \"%@ of %@\"\nmsgstr \"%1$@\"\n", Table{}},
        {"placeholder added refused", header + "msgid \"Open\"\nmsgstr \"%@ öffnen\"\n", Table{}},
        {"invalid UTF-8 translation refused", header + "msgid \"Open\"\nmsgstr \"\xC3\x28\"\n", Table{}},
        {"translation by escapes that are not UTF-8 refused", header + "msgid \"Open\"\nmsgstr \"\\377\"\n", Table{}},

        {"unterminated string", header + "msgid \"Open\nmsgstr \"Öffnen\"\n", std::nullopt},
        {"text after the string", header + "msgid \"Open\" x\nmsgstr \"Öffnen\"\n", std::nullopt},
        {"unescaped quote inside", header + "msgid \"Op\"en\"\nmsgstr \"Öffnen\"\n", std::nullopt},
        {"unknown escape", header + "msgid \"Open\\q\"\nmsgstr \"Öffnen\"\n", std::nullopt},
        {"escape cut by the end", header + "msgid \"Open\\\"\nmsgstr \"Öffnen\"\n", std::nullopt},
        {"octal escape too large", header + "msgid \"Open\"\nmsgstr \"\\777\"\n", std::nullopt},
        {"msgid without msgstr", header + "msgid \"Open\"\n\nmsgid \"Close\"\nmsgstr \"Schließen\"\n", std::nullopt},
        {"msgid without msgstr at the end", header + "msgid \"Open\"\n", std::nullopt},
        {"msgstr without msgid", header + "msgstr \"Öffnen\"\n", std::nullopt},
        {"two msgstr", header + "msgid \"Open\"\nmsgstr \"Öffnen\"\nmsgstr \"Auf\"\n", std::nullopt},
        {"msgstr[0] without msgid_plural", header + "msgid \"Open\"\nmsgstr[0] \"Öffnen\"\n", std::nullopt},
        {"plain msgstr in a plural entry", header + "msgid \"a\"\nmsgid_plural \"b\"\nmsgstr \"c\"\n", std::nullopt},
        {"unknown keyword", header + "msgid \"Open\"\nmsgtxt \"Öffnen\"\n", std::nullopt},
        {"keyword without a string", header + "msgid\nmsgstr \"Öffnen\"\n", std::nullopt},
        {"continuation with nothing to continue", "\"Open\"\n", std::nullopt},
        {"continuation after a comment", header + "# note\n\"Open\"\n", std::nullopt},
        {"comment between msgid and msgstr", header + "msgid \"Open\"\n# note\nmsgstr \"Öffnen\"\n", std::nullopt},
        {"two contexts", header + "msgctxt \"a\"\nmsgctxt \"b\"\nmsgid \"Open\"\nmsgstr \"x\"\n", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sorted(readPo(c.bytes)), c.expected) << c.name;
    }
}

TEST(PoReader, ReadsFilesAndRefusesWhatIsNoFile) {
    const test::TempDir dir;
    const auto good = dir.write("de.po", std::string(kHeader) + "msgid \"Open\"\nmsgstr \"Öffnen\"\n");
    EXPECT_EQ(sorted(readPoFile(good)), (Table{{"Open", "Öffnen"}}));
    EXPECT_EQ(readPoFile(dir / "missing.po"), std::nullopt);
    EXPECT_EQ(readPoFile(dir.path()), std::nullopt) << "a folder is no file";
    const auto broken = dir.write("ja.po", "msgid \"Open\n");
    EXPECT_EQ(readPoFile(broken), std::nullopt);
    const auto huge = dir.write("big.po", std::string(kMaxPoFileBytes + 1, '#'));
    EXPECT_EQ(readPoFile(huge), std::nullopt);
}

}  // namespace
}  // namespace quorvanta::core
