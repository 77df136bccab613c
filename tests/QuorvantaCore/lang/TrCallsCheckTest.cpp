// scripts/check-tr-calls on the repository and on one-line fixtures: in the Qt shell every text is
// looked up through core::tr, never through Qt's tr or translate.
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

namespace quorvanta::test {
namespace {

const std::filesystem::path kSourceDir = QUORVANTA_SOURCE_DIR;
const std::filesystem::path kScript = kSourceDir / "scripts" / "check-tr-calls";

RunResult check(const std::filesystem::path& root) { return runProgram(kScript, {root.string()}); }

TEST(TrCalls, TheShellLooksTextsUpOnlyThroughCoreTr) {
    const auto result = check(kSourceDir);
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(result.out, "");
}

constexpr const char* kNotCoreTr = "tr( that is not core::tr(";
constexpr const char* kQtCall = "Qt translation call";

TEST(TrCalls, CheckFindsEachKindOfCallThatSkipsTheProjectsLookup) {
    const struct {
        const char* file;  // under the fixture's root; the case's number goes before the extension
        const char* code;
        const char* found;  // what the check reports on the code's first line; empty: it passes
    } cases[] = {
        {"QuorvantaApp/Shell/A.cpp", "auto a = core::tr(\"Open\");", ""},
        {"QuorvantaApp/Shell/A.cpp", "auto a = quorvanta::core::tr(\"Open\") + ::quorvanta::core::tr (\"x\");", ""},
        {"QuorvantaApp/Shell/A.h", "// setText(tr(\"Open\")) in a comment", ""},
        {"QuorvantaApp/Shell/A.cpp", "/* tr(\"Open\")\n   tr(\"still a comment\") */ int a = 1;", ""},
        {"QuorvantaApp/Shell/A.cpp", "auto a = \"tr(\\\"in a string\\\")\"; char q = '\"'; char r = '\\'';", ""},
        {"QuorvantaApp/Shell/A.cpp", "auto a = R\"x(tr(\"raw\") )\" )x\";", ""},
        {"QuorvantaApp/Shell/A.cpp", "painter.translate(1, 2); QTransform().translate(3, 4); attr(5); str(6);", ""},
        {"QuorvantaApp/model/M.cpp", "auto a = tr(\"Open\");", ""},
        {"QuorvantaApp/headless/main.cpp", "auto a = tr(\"Open\");", ""},
        {"QuorvantaApp/Shell/A.cpp", "label->setText(tr(\"Open\"));", kNotCoreTr},
        {"QuorvantaApp/Shell/A.h", "auto a = tr (\"Open\");", kNotCoreTr},
        {"QuorvantaApp/Shell/A.cpp", "auto a = QObject::tr(\"Open\");", kNotCoreTr},
        {"QuorvantaApp/Shell/A.cpp", "auto a = SearchPanel::tr(\"Open\");", kNotCoreTr},
        {"QuorvantaApp/Shell/A.cpp", "auto a = this->tr(\"Open\");", kNotCoreTr},
        {"QuorvantaApp/Shell/A.cpp", "auto a = app::core::tr(\"Open\");", kNotCoreTr},
        {"QuorvantaApp/Shell/A.cpp", "auto a = core::tr(\"Open\") + tr(\"Close\");", kNotCoreTr},
        {"QuorvantaApp/Shell/A.cpp", "int n = 1'000 + tr(\"Open\").size();", kNotCoreTr},
        {"QuorvantaApp/Shell/A.cpp", "auto a = R\"(raw)\" + tr(\"Open\");", kNotCoreTr},
        {"QuorvantaApp/Shell/A.cpp", "auto a = QCoreApplication::translate(\"ctx\", \"Open\");", kQtCall},
        {"QuorvantaApp/Shell/A.cpp", "auto a = QApplication::translate(\"ctx\", \"Open\");", kQtCall},
        {"QuorvantaApp/Shell/A.cpp", "auto a = qsTr(\"Open\");", kQtCall},
        {"QuorvantaApp/Shell/A.cpp", "const char* a = QT_TR_NOOP(\"Open\");", kQtCall},
        {"QuorvantaApp/Shell/A.cpp", "const char* a = QT_TRANSLATE_NOOP(\"ctx\", \"Open\");", kQtCall},
    };
    // Two trees, each case in a file of its own: every case, then only the passing ones. The check
    // lists the files it reports in name order.
    const TempDir all, passing;
    std::string expected;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::string file = cases[i].file;
        file.insert(file.rfind('.'), std::to_string(100 + i));
        const std::string code = std::string(cases[i].code) + "\n";
        all.write(file, code);
        if (*cases[i].found)
            expected += file + ":1: " + cases[i].found + ": " + cases[i].code + "\n";
        else
            passing.write(file, code);
    }
    const auto found = check(all.path());
    EXPECT_EQ(found.status, 1) << found.err;
    EXPECT_EQ(found.out, expected);
    const auto passed = check(passing.path());
    EXPECT_EQ(passed.status, 0) << passed.out << passed.err;
    EXPECT_EQ(passed.out, "");
}

TEST(TrCalls, TheReportedLineDropsItsIndent) {
    const TempDir dir;
    dir.write("QuorvantaApp/Shell/A.cpp", "int a;\n    \tlabel->setText(tr(\"Open\"));\n");
    const auto result = check(dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out,
              "QuorvantaApp/Shell/A.cpp:2: " + std::string(kNotCoreTr) + ": label->setText(tr(\"Open\"));\n");
}

}  // namespace
}  // namespace quorvanta::test
