// The application model is plain C++: the headless binary and the tests link it without Qt, and
// only the desktop shell adds Qt on top.
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

namespace fs = std::filesystem;

// What in a source or CMake text names Qt, or "" when nothing does.
std::string namesQt(const std::string& text) {
    static const std::regex qt(R"(#\s*include\s*<Q|Qt6::|find_package\s*\(\s*Qt)");
    std::smatch match;
    return std::regex_search(text, match, qt) ? match.str() : "";
}

TEST(AppModelLayer, NamesQtRecognisesQtUses) {
    struct Case {
        std::string text;
        bool named;
    };
    const Case cases[] = {
        {"#include <QString>", true},
        {"#  include <QtCore/QObject>", true},
        {"target_link_libraries(x PRIVATE Qt6::Widgets)", true},
        {"find_package(Qt6 REQUIRED COMPONENTS Widgets)", true},
        {"find_package( Qt5 )", true},
        {"#include <queue>", false},
        {"#include \"QuorvantaCore/query/Query.h\"", false},
        {"// Qt is not used here", false},
    };
    for (const auto& c : cases) EXPECT_EQ(!namesQt(c.text).empty(), c.named) << c.text;
}

TEST(AppModelLayer, ModelSourcesNameNoQt) {
    const fs::path model = fs::path(QUORVANTA_SOURCE_DIR) / "QuorvantaApp/model";
    std::vector<std::string> checked;
    for (const auto& entry : fs::recursive_directory_iterator(model)) {
        const auto& path = entry.path();
        const std::string name = path.filename().string();
        const std::string ext = path.extension().string();
        if (!entry.is_regular_file() || !(ext == ".h" || ext == ".cpp" || ext == ".cmake" || name == "CMakeLists.txt"))
            continue;
        checked.push_back(path.lexically_relative(model).string());
        const std::string found = namesQt(test::readFile(path));
        EXPECT_EQ(found, "") << path << " names Qt";
    }
    EXPECT_NE(std::find(checked.begin(), checked.end(), "prefs/Prefs.h"), checked.end())
        << "the walk did not reach the model's sources";
}

}  // namespace
}  // namespace quorvanta::app
