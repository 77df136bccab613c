#include "platform/volumes/ExternalDrives.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace quorvanta::platform {
namespace {

TEST(VolumeProbeExternalDrives, KnowsTheMountFolders) {
    const std::pair<const char*, bool> cases[] = {
        {"/media", true}, {"/media/usb/file.txt", true}, {"/run/media/u/Stick", true}, {"/mnt", true},
        {"/mnt/", true},  {"/mnt/backup/a/b", true},     {"/mediax", false},           {"/run/mediax/u", false},
        {"/run", false},  {"/home/u/media", false},      {"/media/../home/u", false},  {"/", false},
    };
    for (const auto& [path, under] : cases) EXPECT_EQ(isUnderExternalDriveFolder(path), under) << path;
}

TEST(VolumeProbeExternalDrives, ResolvesLinksOfTheExistingPart) {
    test::TempDir dir;
    std::filesystem::create_directory_symlink("/mnt", dir / "drive");
    EXPECT_TRUE(isUnderExternalDriveFolder(dir / "drive"));
    EXPECT_TRUE(isUnderExternalDriveFolder(dir / "drive/not/yet/written.idx"));
    EXPECT_FALSE(isUnderExternalDriveFolder(dir / "cache.idx"));
    std::filesystem::create_directory_symlink("/", dir / "top");
    EXPECT_TRUE(isUnderExternalDriveFolder(dir / "top/mnt/x"));
    EXPECT_FALSE(isUnderExternalDriveFolder(dir / "top/home"));
}

}  // namespace
}  // namespace quorvanta::platform
