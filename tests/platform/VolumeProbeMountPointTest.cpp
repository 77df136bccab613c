// isMountPoint on the folders every system has; mounted roots are covered by the refresh tests,
// which mount a tmpfs in a namespace of their own.
#include "platform/volumes/MountPoint.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quorvanta::platform {
namespace {

TEST(VolumeProbeMountPoint, Table) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    std::filesystem::create_directory_symlink("/", dir / "link-to-top");
    const std::pair<std::string, bool> rows[] = {
        {"/", true},
        {"//", true},
        {"/proc", true},
        {(dir / "folder").string(), false},
        {(dir / "link-to-top").string(), true},  // links in the path are followed
        {(dir / "missing").string(), false},
        {"", false},
        {std::string("/\0x", 3), false},
    };
    for (const auto& [path, expected] : rows) EXPECT_EQ(isMountPoint(path), expected) << path;
}

}  // namespace
}  // namespace quorvanta::platform
