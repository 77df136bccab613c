// Moving to the Trash through the guard: the home trash of the run's own data folder, and the
// failures of the Trash as the user reads them.
#include "file_actions/FileActions.h"

#include "QuorvantaCore/lang/Lang.h"
#include "platform/fs/FakeFileSystem.h"
#include "platform/fs/XdgDirs.h"

#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>

namespace quorvanta::FileActions {
namespace {

namespace fs = std::filesystem;
using Op = platform::FakeFileSystem::Op;
using test::TempDir;

class FileActionsTrash : public testing::Test {
protected:
    void SetUp() override { core::Lang::shared().setChoice("en"); }

    TempDir dir;
    test::EnvOverride data{"XDG_DATA_HOME", (dir / "data").string()};
};

TEST_F(FileActionsTrash, MovesIntoTheHomeTrash) {
    const auto item = dir.write("docs/report.txt", "report");
    const std::string inTrash = moveToTrash(item.string());
    EXPECT_EQ(inTrash, (platform::xdgDataHome() / "Trash/files/report.txt").string());
    EXPECT_EQ(test::readFile(inTrash), "report");
    EXPECT_FALSE(fs::exists(item));
    EXPECT_TRUE(fs::exists(platform::xdgDataHome() / "Trash/info/report.txt.trashinfo"));
}

TEST_F(FileActionsTrash, FailuresAsTheUserReadsThem) {
    struct Case {
        const char* what;
        std::function<void(platform::FakeFileSystem&, const fs::path& item)> arrange;
        std::function<Failure(const std::string& item)> expected;
        std::string description;
    };
    const Case cases[] = {
        {"read-only drive",
         [](platform::FakeFileSystem& fake, const fs::path& item) {
             fake.pretendMount(item.parent_path().string(), 250, 1, 987'654);
             fake.fail(Op::mkdir, item.parent_path().string(), EROFS);
         },
         [](const std::string& item) { return Failure::noTrash(item); },
         "There is no Trash for “x.txt” (e.g. a network or read-only drive)."},
        {"the move is refused",
         [](platform::FakeFileSystem& fake, const fs::path& item) {
             fake.fail(Op::renameNoReplace, item.string(), EACCES);
         },
         [](const std::string&) { return Failure::system("Cannot move to the Trash: Permission denied"); },
         "Cannot move to the Trash: Permission denied"},
        {"gone between the check and the move",
         [](platform::FakeFileSystem& fake, const fs::path& item) {
             fake.fail(Op::renameNoReplace, item.string(), ENOENT);
         },
         [](const std::string& item) { return Failure::missing(item); }, "“x.txt” no longer exists."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir drive;
        const auto item = drive.write("x.txt", "x");
        platform::FakeFileSystem fake;
        c.arrange(fake, item);
        try {
            moveToTrash(item.string(), fake);
            ADD_FAILURE() << "moved";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure, c.expected(item.string())) << failure.what();
            EXPECT_EQ(failure.description(), c.description);
        }
        EXPECT_EQ(test::readFile(item), "x");
    }
}

TEST_F(FileActionsTrash, MissingAndProtectedItemsReachNoTrash) {
    test::EnvOverride home("HOME", (dir / "home").string());
    fs::create_directories(dir / "home/Documents");
    const std::string gone = (dir / "gone.txt").string();
    const std::pair<std::string, Failure> cases[] = {
        {gone, Failure::missing(gone)},
        {"~/Documents", Failure::protected_((dir / "home/Documents").string())},
        {"/usr/bin/env", Failure::protected_("/usr/bin/env")},
        {"", Failure::protected_("")},
    };
    for (const auto& [path, expected] : cases) {
        try {
            moveToTrash(path);
            ADD_FAILURE() << path << " was moved";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure, expected) << failure.what();
        }
    }
    EXPECT_FALSE(fs::exists(platform::xdgDataHome() / "Trash"));
    EXPECT_TRUE(fs::is_directory(dir / "home/Documents"));
}

}  // namespace
}  // namespace quorvanta::FileActions
