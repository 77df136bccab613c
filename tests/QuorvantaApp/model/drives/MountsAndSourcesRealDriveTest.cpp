// End to end over a real drive: a loop-mounted ext4 image under a drive folder, in a mount
// namespace of a child process of its own (made before any thread starts), followed by the
// system's mount monitor. Mounting scans it, unmounting leaves a searchable catalog of every
// entry, mounting again resumes it from its snapshot by reconcile.
#include "tests/QuorvantaApp/model/drives/MountTestSupport.h"

#include "platform/events/InotifySource.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MountTools.h"

#include <sys/mount.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace quorvanta::app::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kUUID = "5d2e7c41-0b3a-4f68-9e1d-2c7b8a9f0e13";

std::string mountImage(const std::string& image, const std::string& point) {
    return quorvanta::test::runQuietly({"mount", "-o", "loop", image, point}) == 0 ? "" : "loop mount refused";
}

std::string unmount(const std::string& point) {
    return umount2(point.c_str(), 0) == 0 ? "" : std::string("umount: ") + std::strerror(errno);
}

// In the child. `folders` empty: the whole drive is the source.
std::string runDrive(const std::string& image, const std::string& driveFolder,
                     const std::vector<std::string>& folders) {
    if (const auto refused = quorvanta::test::enterPrivateMountNamespace(); !refused.empty()) return "skip " + refused;
    const std::string point = driveFolder + "/QV";
    if (const auto refused = mountImage(image, point); !refused.empty()) return "skip " + refused;
    for (const char* name : {"A", "B", "C"}) {
        fs::create_directories(fs::path(point) / name / "deep");
        std::ofstream(fs::path(point) / name / "deep" / (std::string("needle_") + name)) << name;
    }
    if (auto failed = unmount(point); !failed.empty()) return failed;

    ModelWorld world;
    world.settings.setBoolean(kIndexDiskImagesKey, true);
    SourceConfig config;
    config.enabled = true;
    config.whole = folders.empty();
    config.folders = folders;
    // The drive's key is its file system's UUID where the kernel or udev tell it, else its root.
    world.prefs.setSources({{kUUID, config}, {point, config}});
    world.prefs.setConfigured(true);

    AppModel::Dependencies deps = world.deps();
    DriveProbe probe = DriveProbe::system();
    probe.driveFolders = {driveFolder};
    probe.defaults = &world.settings;
    deps.candidates = std::make_shared<const SystemCandidates>(probe);
    deps.driveFolders = {driveFolder};
    deps.mounts = nullptr;  // the real table, the real resume rule, the live events
    deps.resume = nullptr;
    deps.events = std::make_shared<platform::InotifySource>();
    auto model = AppModel::create({}, true, std::move(deps));
    if (!model->volumes->empty()) return "a volume before the drive was mounted";

    std::ostringstream out;
    const auto needlesFound = [&] {
        model->setQuery(model->query.get() == "needle_" ? "needle" : "needle_");
        world.settle(*model);
        return model->results.get()->rows().size();
    };
    if (auto failed = mountImage(image, point); !failed.empty()) return failed;
    if (!waitBounded(world.main, [&] { return !model->volumes->empty(); })) return "the mount made no volume";
    const auto volume = model->volumes->at(0);
    if (!waitBounded(world.main, [&] { return volume->watcher && model->backgroundSavesForTesting() >= 1; }))
        return "the scan did not end in a saved, watched volume";
    const auto count = volume->index()->liveCount();
    out << "scanned needles " << needlesFound() << "\n";

    if (auto failed = unmount(point); !failed.empty()) return failed;
    if (!waitBounded(world.main, [&] { return volume->offline.get() || model->volumes->empty(); }))
        return "the unmount was not seen";
    out << "catalog " << volume->offline.get() << " watcher " << (volume->watcher != nullptr) << " entries "
        << (volume->index()->liveCount() == count) << " needles " << needlesFound() << "\n";
    const auto saved = core::VolumeIndex::load(volume->snapshotPath(), {});
    out << "snapshot entries " << (saved && saved->index->liveCount() == count) << "\n";

    if (auto failed = mountImage(image, point); !failed.empty()) return failed;
    if (!waitBounded(world.main, [&] { return model->volumes->at(0) != volume; })) return "the remount was not seen";
    const auto back = model->volumes->at(0);
    if (model->volumes->size() != 1) return "the catalog stayed beside the drive";
    out << "resumed " << back->loaded().has_value() << " by reconcile "
        << (back->resume() == core::VolumeID::Resume::reconcile) << "\n";
    if (!waitBounded(world.main, [&] { return !back->updating.get() && back->watcher; }))
        return "the resumed volume did not catch up";
    out << "entries " << (back->index()->liveCount() == count) << " needles " << needlesFound() << "\n";
    model.reset();
    if (auto failed = unmount(point); !failed.empty()) return failed;
    return out.str();
}

TEST(MountsAndSources, ARealDriveComesGoesAndComesBack) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    if (quorvanta::test::findSystemProgram("mkfs.ext4").empty())
        GTEST_SKIP() << "mkfs.ext4 is not installed (package e2fsprogs)";
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"the whole drive", {}},
        {"two chosen folders", {"A", "B"}},
    };
    for (const auto& [name, folders] : cases) {
        SCOPED_TRACE(name);
        quorvanta::test::TempDir dir;
        const fs::path driveFolder = fs::canonical(dir.path()) / "drives";
        fs::create_directories(driveFolder / "QV");
        const std::string image = (dir / "drive.img").string();
        ASSERT_EQ(quorvanta::test::makeExt4Image(image, {"-U", kUUID}), "");
        const auto outcome =
            quorvanta::test::runInChild([&] { return runDrive(image, driveFolder.string(), folders); });
        ASSERT_TRUE(outcome.succeeded) << outcome.output;
        if (outcome.output.rfind("skip ", 0) == 0) GTEST_SKIP() << outcome.output.substr(5);
        const std::string n = folders.empty() ? "3" : "2";
        EXPECT_EQ(outcome.output, "scanned needles " + n + "\ncatalog 1 watcher 0 entries 1 needles " + n +
                                      "\nsnapshot entries 1\nresumed 1 by reconcile 1\nentries 1 needles " + n + "\n");
    }
}

}  // namespace
}  // namespace quorvanta::app::test
