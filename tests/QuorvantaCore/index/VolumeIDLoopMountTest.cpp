// A real ext4 file system in a loop-mounted image and a tmpfs beside it, mounted in a private
// mount namespace of a child process, so nothing stays mounted and the host's table is untouched.
#include "QuorvantaCore/index/VolumeID.h"

#include "platform/volumes/FsUUIDIoctl.h"
#include "platform/volumes/MountOfPath.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MountTools.h"
#include "tests/support/TempDir.h"

#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

namespace quorvanta::core {
namespace {

namespace fs = std::filesystem;

constexpr const char* kImageUUID = "0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0";

std::string describe(std::optional<VolumeID::Resume> resume) {
    if (!resume) return "full-scan";
    switch (*resume) {
        case VolumeID::Resume::replay:
            return "replay";
        case VolumeID::Resume::reconcile:
            return "reconcile";
        case VolumeID::Resume::scheduled:
            return "scheduled";
    }
    return "?";
}

// What the child saw, one "key value" line each.
std::string probeMounts(const fs::path& image, const fs::path& ext4, const fs::path& tmpfs) {
    if (const auto refused = test::enterPrivateMountNamespace(); !refused.empty()) return "skip " + refused;
    if (test::runQuietly({"mount", "-o", "loop", image.string(), ext4.string()}) != 0)
        return "skip loop mount refused (no loop devices, or not allowed here)";
    if (mount("tmpfs", tmpfs.c_str(), "tmpfs", 0, "size=1m") != 0)
        return std::string("skip tmpfs mount: ") + std::strerror(errno);

    std::ostringstream out;
    const auto mounts = platform::readMountInfo().value_or(std::vector<platform::MountEntry>{});
    const auto mount = platform::mountOfPath(ext4, mounts);
    out << "mountPoint " << (mount ? mount->mountPoint : "none") << "\n";
    out << "mountType " << (mount ? mount->fsType : "none") << "\n";
    out << "fsType " << VolumeID::fsType(ext4) << "\n";
    out << "uuid " << VolumeID::uuid(ext4).value_or("none") << "\n";
    out << "kernelUUID " << platform::fsUUIDFromKernel(ext4).value_or("none") << "\n";
    out << "byUUIDLink " << fs::exists(fs::path("/dev/disk/by-uuid") / kImageUUID) << "\n";
    out << "resume " << describe(VolumeID::resume(SnapshotInfo{}, ext4.string())) << "\n";
    out << "reachable " << VolumeID::isReachable(ext4) << "\n";
    out << "tmpfsType " << VolumeID::fsType(tmpfs) << "\n";
    out << "tmpfsUUID " << VolumeID::uuid(tmpfs).value_or("none") << "\n";
    out << "tmpfsResume " << describe(VolumeID::resume(SnapshotInfo{}, tmpfs.string())) << "\n";
    return out.str();
}

TEST(VolumeIDLoopMount, Ext4ImageAndTmpfs) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    if (test::findSystemProgram("mkfs.ext4").empty()) GTEST_SKIP() << "mkfs.ext4 is not installed (package e2fsprogs)";

    test::TempDir dir;
    const auto image = dir / "ext4.img";
    fs::create_directory(dir / "ext4");
    fs::create_directory(dir / "tmpfs");
    const auto made = test::makeExt4Image(image.string(), {"-U", kImageUUID});
    ASSERT_EQ(made, "");

    const auto outcome = test::runInChild([&] { return probeMounts(image, dir / "ext4", dir / "tmpfs"); });
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    if (outcome.output.rfind("skip ", 0) == 0) GTEST_SKIP() << outcome.output.substr(5);

    std::map<std::string, std::string> seen;
    std::istringstream lines(outcome.output);
    for (std::string key, value; lines >> key && std::getline(lines >> std::ws, value);) seen[key] = value;
    SCOPED_TRACE(outcome.output);

    EXPECT_EQ(seen["mountPoint"], fs::canonical(dir / "ext4").string());
    EXPECT_EQ(seen["mountType"], "ext4");
    EXPECT_EQ(seen["fsType"], "ext4");
    const bool kernelKnowsUUID = seen["kernelUUID"] == kImageUUID || seen["byUUIDLink"] == "1";
    EXPECT_EQ(seen["uuid"], kernelKnowsUUID ? kImageUUID : "none");
    EXPECT_EQ(seen["resume"], "reconcile");
    EXPECT_EQ(seen["reachable"], "0");
    EXPECT_EQ(seen["tmpfsType"], "tmpfs");
    EXPECT_EQ(seen["tmpfsUUID"], "none") << "tmpfs has no UUID, even if the kernel invents one";
    EXPECT_EQ(seen["tmpfsResume"], "full-scan");
}

}  // namespace
}  // namespace quorvanta::core
