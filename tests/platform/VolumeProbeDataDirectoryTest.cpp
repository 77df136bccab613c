#include "platform/fs/DataDirectory.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace quorvanta::platform {
namespace {

namespace fs = std::filesystem;
using test::EnvOverride;

TEST(VolumeProbeDataDirectory, FollowsTheXdgDataHome) {
    test::TempDir dir;
    const struct {
        std::optional<std::string> xdg;
        fs::path expected;
    } cases[] = {
        {(dir / "xdg/deep").string(), dir / "xdg/deep/Quorvanta"},
        {std::nullopt, dir / "home/.local/share/Quorvanta"},
        {"relative/data", dir / "home/.local/share/Quorvanta"},  // not absolute: ignored
    };
    EnvOverride home("HOME", (dir / "home").string());
    for (const auto& c : cases) {
        EnvOverride data("XDG_DATA_HOME", c.xdg);
        const auto folder = dataDirectory("Quorvanta");
        EXPECT_EQ(folder, c.expected) << c.xdg.value_or("(unset)");
        EXPECT_TRUE(fs::is_directory(folder)) << folder;
        EXPECT_EQ(test::fileMode(folder), 0700u) << folder;
    }
    EXPECT_EQ(test::fileMode(dir / "xdg"), 0700u) << "parents made on the way are private too";
    EXPECT_EQ(test::fileMode(dir / "home/.local"), 0700u);
}

TEST(VolumeProbeDataDirectory, AnswersThePathWhenItCannotBeCreated) {
    test::TempDir dir;
    const auto file = dir.write("a-file", "x");
    EnvOverride data("XDG_DATA_HOME", file.string());
    EXPECT_EQ(dataDirectory("Quorvanta"), file / "Quorvanta");
    EXPECT_EQ(dataDirectory("Quorvanta"), file / "Quorvanta") << "asking again changes nothing";
}

// Without HOME the password database names the home folder. The child drops to an unprivileged
// user, so no folder appears in a real home.
TEST(VolumeProbeDataDirectory, WithoutHomeUsesThePasswordDatabase) {
    constexpr uid_t kNobody = 65534;
    if (geteuid() != 0) GTEST_SKIP() << "needs root to switch to an unprivileged user";
    const passwd* nobody = getpwuid(kNobody);
    if (!nobody || !nobody->pw_dir) GTEST_SKIP() << "no password entry for uid 65534";
    const fs::path expected = fs::path(nobody->pw_dir) / ".local/share/Quorvanta";

    const auto outcome = test::runInChild([] {
        unsetenv("HOME");
        unsetenv("XDG_DATA_HOME");
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0) throw std::runtime_error("cannot drop privileges");
        return dataDirectory("Quorvanta").string();
    });
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    EXPECT_EQ(outcome.output, expected.string());
}

}  // namespace
}  // namespace quorvanta::platform
