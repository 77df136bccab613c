#include "platform/fs/XdgDirs.h"

#include "tests/support/EnvOverride.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quorvanta::platform {
namespace {

using test::EnvOverride;

TEST(XdgDirs, FollowsTheBaseDirectoryRules) {
    struct Case {
        std::optional<std::string> xdg;
        std::string expectedConfig;
        std::string expectedData;
    };
    const Case cases[] = {
        {"/x/base", "/x/base", "/x/base"},
        {std::nullopt, "/h/.config", "/h/.local/share"},
        {"", "/h/.config", "/h/.local/share"},                 // empty is ignored
        {"relative/dir", "/h/.config", "/h/.local/share"},     // relative is ignored
    };
    EnvOverride home("HOME", "/h");
    for (const auto& c : cases) {
        EnvOverride config("XDG_CONFIG_HOME", c.xdg);
        EnvOverride data("XDG_DATA_HOME", c.xdg);
        EXPECT_EQ(xdgConfigHome(), c.expectedConfig) << "XDG value " << c.xdg.value_or("(unset)");
        EXPECT_EQ(xdgDataHome(), c.expectedData) << "XDG value " << c.xdg.value_or("(unset)");
    }
}

TEST(XdgDirs, HomeFallsBackToThePasswordDatabase) {
    EnvOverride home("HOME", std::nullopt);
    EnvOverride config("XDG_CONFIG_HOME", std::nullopt);
    const auto fromPasswd = homeDir();
    EXPECT_FALSE(fromPasswd.empty()) << "no home folder from getpwuid_r";
    EXPECT_EQ(xdgConfigHome(), fromPasswd / ".config");
}

}  // namespace
}  // namespace quorvanta::platform
