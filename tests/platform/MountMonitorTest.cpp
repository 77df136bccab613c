// The mount monitor: what a change of the mount table reports (pairs of tables as the kernel
// writes them), and a real run in a mount namespace of a child process of its own.
#include "platform/volumes/MountMonitor.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/MountTools.h"
#include "tests/support/TempDir.h"

#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace quorvanta::platform {
namespace {

using Kind = MountChange::Kind;

constexpr const char* kBase =
    "21 27 0:20 / /proc rw,relatime - proc proc rw\n"
    "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/root rw\n";

struct DiffCase {
    const char* name;
    std::string before;  // lines after kBase
    std::string after;
    std::vector<MountChange> changes;
};

TEST(MountMonitor, Diffs) {
    const std::string stick = "50 27 8:17 / /media/u/STICK rw,nosuid - vfat /dev/sdb1 rw\n";
    const DiffCase cases[] = {
        {"nothing changed", stick, stick, {}},
        {"appeared", "", stick, {{Kind::appeared, "/media/u/STICK"}}},
        {"gone", stick, "", {{Kind::gone, "/media/u/STICK"}}},
        {"remounted read-only with other options",
         stick,
         "50 27 8:17 / /media/u/STICK ro,nosuid,noexec - vfat /dev/sdb1 ro,flush\n",
         {}},
        {"stacked on the same point",
         stick,
         stick + "51 50 0:60 / /media/u/STICK rw - tmpfs tmpfs rw\n",
         {{Kind::appeared, "/media/u/STICK"}}},
        {"the upper of two stacked mounts leaves",
         stick + "51 50 0:60 / /media/u/STICK rw - tmpfs tmpfs rw\n",
         stick,
         {{Kind::gone, "/media/u/STICK"}}},
        {"another drive at the same point between two readings",
         stick,
         "52 27 8:33 / /media/u/STICK rw - ext4 /dev/sdc1 rw\n",
         {{Kind::gone, "/media/u/STICK"}, {Kind::appeared, "/media/u/STICK"}}},
        {"a mount id used again at another point",
         stick,
         "50 27 8:33 / /mnt/other rw - ext4 /dev/sdc1 rw\n",
         {{Kind::gone, "/media/u/STICK"}, {Kind::appeared, "/mnt/other"}}},
        {"escaped names, decoded",
         "",
         "60 27 8:49 / /media/u/My\\040Disk\\011\\134x rw - ext4 /dev/sdd1 rw\n"
         "61 27 8:50 / /media/u/caf\xc3\xa9\xff rw - ext4 /dev/sdd2 rw\n",
         {{Kind::appeared, "/media/u/My Disk\t\\x"}, {Kind::appeared, "/media/u/caf\xc3\xa9\xff"}}},
        {"several at once: gone in the old order, then appeared in the new",
         stick + "53 27 8:65 / /mnt/b rw - ext4 /dev/sde1 rw\n",
         "54 27 8:81 / /mnt/c rw - ext4 /dev/sdf1 rw\n55 27 8:97 / /mnt/d rw - xfs /dev/sdg1 rw\n",
         {{Kind::gone, "/media/u/STICK"},
          {Kind::gone, "/mnt/b"},
          {Kind::appeared, "/mnt/c"},
          {Kind::appeared, "/mnt/d"}}},
    };
    for (const DiffCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(diffMounts(parseMountInfo(kBase + c.before), parseMountInfo(kBase + c.after)), c.changes);
    }
}

TEST(MountMonitor, AnUnreadableTableReportsNothing) {
    test::TempDir dir;
    class Refuses final : public Executor {
        void post(Task) override { ADD_FAILURE() << "nothing may be reported"; }
    } refuses;
    MountMonitor monitor(refuses, {}, dir / "no-such-table");
    EXPECT_FALSE(monitor.watching());
}

// An executor that keeps what it is handed until the test runs it.
class WaitingExecutor final : public Executor {
public:
    void post(Task task) override {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        arrived_.notify_all();
    }
    // Runs tasks as they arrive until `done` holds or `bound` has passed; whether `done` holds.
    bool runUntil(const std::function<bool()>& done, std::chrono::seconds bound) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (!done()) {
            Task task;
            {
                std::unique_lock lock(mutex_);
                if (!arrived_.wait_until(lock, deadline, [&] { return !tasks_.empty(); })) return done();
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
        return true;
    }
    // Waits until a task is queued, without running it.
    bool waitForTask(std::chrono::seconds bound) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, bound, [&] { return !tasks_.empty(); });
    }
    void runQueued() {
        std::deque<Task> now;
        {
            std::lock_guard lock(mutex_);
            now.swap(tasks_);
        }
        for (Task& task : now) task();
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Task> tasks_;
};

constexpr std::chrono::seconds kBound{60};

// In the child: a tmpfs mounted and unmounted under `folder`, seen by a monitor; then a report
// still queued when the monitor goes is never run.
std::string watchRealMounts(const std::string& folder) {
    if (const auto refused = test::enterPrivateMountNamespace(); !refused.empty()) return "skip " + refused;
    const std::string point = folder + "/t";
    std::filesystem::create_directories(point);
    WaitingExecutor queue;
    std::vector<std::string> seen;
    MountEvents events;
    events.appeared = [&](const std::string& p) { seen.push_back("appeared " + p); };
    events.gone = [&](const std::string& p) { seen.push_back("gone " + p); };
    auto monitor = std::make_unique<MountMonitor>(queue, events);
    if (!monitor->watching()) return "the monitor does not watch /proc/self/mountinfo";
    const auto saw = [&](const std::string& line) {
        return [&seen, line] { return std::find(seen.begin(), seen.end(), line) != seen.end(); };
    };

    if (mount("tmpfs", point.c_str(), "tmpfs", 0, "size=1m") != 0)
        return std::string("skip tmpfs mount: ") + std::strerror(errno);
    if (!queue.runUntil(saw("appeared " + point), kBound)) return "no appeared report";
    if (umount2(point.c_str(), 0) != 0) return std::string("umount: ") + std::strerror(errno);
    if (!queue.runUntil(saw("gone " + point), kBound)) return "no gone report";

    std::ostringstream out;
    for (const auto& line : seen) out << line << "\n";
    if (mount("tmpfs", point.c_str(), "tmpfs", 0, "size=1m") != 0) return "second mount failed";
    if (!queue.waitForTask(kBound)) return "no report of the second mount";
    const std::size_t before = seen.size();
    monitor.reset();
    queue.runQueued();
    if (seen.size() != before) out << "reported after the monitor went\n";
    return out.str();
}

TEST(MountMonitor, ReportsARealMountAndUnmount) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    test::TempDir dir;
    const std::string folder = std::filesystem::canonical(dir.path()).string();
    const auto outcome = test::runInChild([&] { return watchRealMounts(folder); });
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    if (outcome.output.rfind("skip ", 0) == 0) GTEST_SKIP() << outcome.output.substr(5);
    EXPECT_EQ(outcome.output, "appeared " + folder + "/t\ngone " + folder + "/t\n");
}

}  // namespace
}  // namespace quorvanta::platform
