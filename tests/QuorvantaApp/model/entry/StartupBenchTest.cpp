#include "QuorvantaApp/model/entry/StartupBench.h"

#include "QuorvantaCore/index/VolumeIndex.h"
#include "tests/QuorvantaApp/model/entry/EntryTestSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <thread>

namespace quorvanta::app::test {
namespace {

TEST(StartupBench, WithoutRowsPrintsItsLineAtTheCapAndEndsWithStatus0) {
    platform::FakeClock clock;
    EntryWorld world(clock);
    world.loop.setIdleHookForTesting([&] { clock.advanceTo(*clock.nextDeadline()); });
    EntryServices services = world.services();
    services.benchCap = std::chrono::milliseconds(10);
    const DesktopRunner runner = noDesktop();

    const int status = runEntry({"quorvanta", "--startup-bench", "--no-persist"}, clock.now(), runner, services);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(world.ended, 0);
    // Five 2 ms steps of the fake clock reach the cap; the line was out before the end's seam.
    EXPECT_EQ(world.printedAtEnd, "startup: 10 ms from main() to 0 rows ()\n");
    EXPECT_TRUE(fs::is_empty(world.data()));
}

// A tree of `folders` × `files` empty files below `root`.
void makeTree(const fs::path& root, int folders, int files) {
    for (int d = 0; d < folders; ++d) {
        const fs::path folder = root / ("d" + std::to_string(d));
        fs::create_directories(folder);
        for (int f = 0; f < files; ++f) {
            const int fd = ::open((folder / ("f" + std::to_string(f))).c_str(), O_CREAT | O_WRONLY, 0644);
            ASSERT_GE(fd, 0);
            ::close(fd);
        }
    }
}

TEST(StartupBench, TheEndFlushesTheLastLineThenCancelsARunningScanAndWaitsForIt) {
    EntryWorld world(platform::realClock());
    const fs::path root = world.dir / "tree";
    constexpr int kFolders = 150, kFiles = 200;
    makeTree(root, kFolders, kFiles);
    const auto model = AppModel::create({root.string()}, false, world.deps(world.loop));
    ASSERT_EQ(model->volumes->size(), 1u);
    const auto index = model->volumes.get()[0]->index();

    model->startScans();
    while (!index->isScanning() && index->count() == 0) std::this_thread::yield();
    ASSERT_TRUE(index->isScanning()) << "the scan ended before the test could end the process";

    bool scanningAtEnd = true;
    ProcessEnd end = world.end();
    const auto seam = end.exit;
    end.exit = [&](int status) {
        scanningAtEnd = index->isScanning();
        seam(status);
    };
    std::fputs("startup: last line\n", world.out);
    end.finish(model.get(), 0);

    EXPECT_EQ(world.ended, 0);
    EXPECT_EQ(world.printedAtEnd, "startup: last line\n");
    EXPECT_FALSE(scanningAtEnd) << "the scan was still running when the process would have ended";
    EXPECT_LT(index->count(), static_cast<std::uint32_t>(1 + kFolders * (1 + kFiles))) << "the scan was not cancelled";
    // Nothing the model does later scans or writes again.
    EXPECT_TRUE(model->windDown(std::chrono::milliseconds(0)));
}

}  // namespace
}  // namespace quorvanta::app::test
