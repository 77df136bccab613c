#include "platform/volumes/LoopDevice.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace quorvanta::platform {
namespace {

TEST(VolumeProbeLoopDevice, ALoopDeviceWithABackingFileIsAnImage) {
    test::TempDir sys;
    sys.write("block/loop0/loop/backing_file", "/home/u/disk.iso\n");
    sys.write("block/loop12/loop/backing_file", "/home/u/big.img\n");
    sys.write("block/loop3/size", "0\n");  // set up without a backing file
    const auto block = sys / "block";

    const std::pair<const char*, bool> cases[] = {
        {"/dev/loop0", true},     {"/dev/loop12", true},        {"/dev/loop0p1", true}, {"/dev/loop12p3", true},
        {"/dev/loop3", false},    {"/dev/loop4", false},        {"/dev/loop", false},   {"/dev/loopx", false},
        {"/dev/loop0p", false},   {"/dev/loop0q1", false},      {"/dev/loop0/", false}, {"/dev/sda1", false},
        {"/devx/loop0", false},   {"/dev/mapper/loop0", false}, {"loop0", false},       {"", false},
        {"/dev/loop0p1x", false}, {"/dev//loop0", false},
    };
    for (const auto& [source, image] : cases) EXPECT_EQ(isLoopImage(source, "/dev", block), image) << source;
    EXPECT_TRUE(isLoopImage("/tmp/devs/loop0", "/tmp/devs/", block)) << "the device folder may end in /";
    EXPECT_FALSE(isLoopImage("/dev/loop0", "/dev", sys / "missing"));
}

}  // namespace
}  // namespace quorvanta::platform
