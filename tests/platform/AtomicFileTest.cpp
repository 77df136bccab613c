#include "platform/fs/AtomicFile.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::platform {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AtomicFile, ReplacesTheWholeFileWithTheCallersMode) {
    struct Case {
        const char* what;
        mode_t mode;
        bool existed;
    };
    const Case cases[] = {
        {"cache file over an old one", 0600, true},
        {"export, new file", 0644, false},
    };
    const mode_t oldMask = umask(022);
    for (const auto& c : cases) {
        TempDir dir;
        const auto target = dir / "out.bin";
        if (c.existed) dir.write("out.bin", std::string(10'000, 'o'));
        EXPECT_FALSE(writeFileAtomically(target, "new contents", c.mode)) << c.what;
        EXPECT_EQ(readFile(target), "new contents") << c.what;
        EXPECT_EQ(test::fileMode(target), c.mode) << c.what;
        EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"out.bin"}) << c.what;
    }
    umask(oldMask);
}

TEST(AtomicFile, PositionalWritesAndExtensionThroughTheDescriptor) {
    TempDir dir;
    std::error_code error;
    auto file = AtomicFile::create(dir / "snap.idx", 0600, error);
    ASSERT_TRUE(file) << error.message();
    EXPECT_EQ(file->target(), dir / "snap.idx");
    // Sections written out of order, the file extended past the last one, the header last.
    EXPECT_FALSE(file->writeAt(16, "section"));
    ASSERT_EQ(ftruncate(file->fd(), 32), 0);
    EXPECT_FALSE(file->writeAt(0, "HEAD"));
    EXPECT_FALSE(fs::exists(dir / "snap.idx")) << "visible before commit";
    EXPECT_FALSE(file->commit());
    EXPECT_EQ(file->fd(), -1);
    std::string expected(32, '\0');
    expected.replace(0, 4, "HEAD");
    expected.replace(16, 7, "section");
    EXPECT_EQ(readFile(dir / "snap.idx"), expected);
}

TEST(AtomicFile, DroppedWithoutCommitLeavesNothing) {
    TempDir dir;
    dir.write("keep.txt", "old");
    {
        std::error_code error;
        auto file = AtomicFile::create(dir / "keep.txt", 0600, error);
        ASSERT_TRUE(file);
        EXPECT_FALSE(file->writeAt(0, "half of the new"));
        EXPECT_TRUE(fs::exists(file->tempPath()));
    }
    EXPECT_EQ(readFile(dir / "keep.txt"), "old");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"keep.txt"});
}

TEST(AtomicFile, MissingFolderIsAnError) {
    TempDir dir;
    const auto error = writeFileAtomically(dir / "no" / "such" / "file", "x", 0600);
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    EXPECT_TRUE(namesIn(dir.path()).empty());
}

TEST(AtomicFile, ALinkAtTheTargetIsReplacedNotFollowed) {
    TempDir dir;
    dir.write("victim", "precious");
    fs::create_symlink(dir / "victim", dir / "target");
    EXPECT_FALSE(writeFileAtomically(dir / "target", "new", 0600));
    EXPECT_EQ(readFile(dir / "victim"), "precious");
    EXPECT_FALSE(fs::is_symlink(dir / "target"));
    EXPECT_EQ(readFile(dir / "target"), "new");
}

TEST(AtomicFile, FailedWriteLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    const std::string old = "the old complete version\n";
    const auto target = dir.write("data.json", old);
    const auto child = test::runInChild([&]() -> std::string {
        // A file-size limit binds root too; ignoring SIGXFSZ turns the overrun into EFBIG.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return "setrlimit failed";
        return writeFileAtomically(target, std::string(1 << 20, 'n'), 0600).message();
    });
    ASSERT_TRUE(child.succeeded) << child.output;
    EXPECT_EQ(child.output, std::make_error_code(std::errc::file_too_large).message());
    EXPECT_EQ(readFile(target), old);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"data.json"});
}

TEST(AtomicFile, ConcurrentWritersAlwaysLeaveOneCompleteVersion) {
    TempDir dir;
    const auto target = dir / "shared.dat";
    constexpr std::size_t kSize = 64 * 1024;
    ASSERT_FALSE(writeFileAtomically(target, std::string(kSize, '0'), 0600));
    std::atomic<int> writersLeft{2};
    std::atomic<int> torn{0};
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    for (char letter : {'a', 'b'})
        threads.emplace_back([&, letter] {
            for (int i = 0; i < 150; ++i)
                if (writeFileAtomically(target, std::string(kSize, letter), 0600)) failed.fetch_add(1);
            writersLeft.fetch_sub(1);
        });
    threads.emplace_back([&] {
        while (writersLeft.load() > 0) {
            const auto bytes = readFile(target);
            if (bytes.size() != kSize || bytes.find_first_not_of(bytes[0]) != std::string::npos) torn.fetch_add(1);
        }
    });
    for (auto& t : threads) t.join();
    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(torn.load(), 0) << "a reader saw a mixed or partial file";
    const auto last = readFile(target);
    EXPECT_TRUE(last == std::string(kSize, 'a') || last == std::string(kSize, 'b'));
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"shared.dat"});
}

double wallSecondsNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Sets a path's modification time `age` seconds before `now`, without following a final link.
void ageBy(const fs::path& path, double now, double age) {
    const auto when = static_cast<time_t>(now - age);
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// A writer killed with SIGKILL in the middle of its writes: its temporary file stays behind.
fs::path temporaryOfAKilledWriter(const fs::path& target) {
    int ready[2];
    if (pipe(ready) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        std::error_code error;
        auto file = AtomicFile::create(target, 0600, error);
        if (!file) _exit(1);
        const std::string chunk(64 * 1024, 'k');
        if (file->writeAt(0, chunk)) _exit(1);
        const std::string temp = file->tempPath().string() + "\n";
        if (write(ready[1], temp.data(), temp.size()) != static_cast<ssize_t>(temp.size())) _exit(1);
        for (std::uint64_t i = 1;; ++i) file->writeAt((i % 16) * chunk.size(), chunk);  // until killed
    }
    close(ready[1]);
    std::string temp;
    char c;
    while (pid > 0 && read(ready[0], &c, 1) == 1 && c != '\n') temp += c;
    close(ready[0]);
    if (pid > 0) {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) return {};
    }
    return temp;
}

TEST(AtomicFileSweep, RemovesOnlyItsOwnStaleTemporaries) {
    TempDir dir;
    TempDir elsewhere;
    const auto target = dir / "vol.idx";
    ASSERT_FALSE(writeFileAtomically(target, "the saved snapshot", 0600));
    const fs::path leftover = temporaryOfAKilledWriter(target);
    ASSERT_FALSE(leftover.empty()) << "the child wrote no temporary name or was not killed";
    ASSERT_TRUE(fs::is_regular_file(leftover)) << leftover;
    ASSERT_EQ(leftover.parent_path(), dir.path());

    const double now = wallSecondsNow();
    ageBy(leftover, now, 2 * 3600);
    ageBy(target, now, 3 * 3600);
    // A writer still at work, and one whose last write is not yet an hour old.
    std::error_code error;
    auto running = AtomicFile::create(dir / "settings.json", 0600, error);
    ASSERT_TRUE(running) << error.message();
    ASSERT_FALSE(running->writeAt(0, "{}"));
    auto slow = AtomicFile::create(dir / "history.json", 0600, error);
    ASSERT_TRUE(slow) << error.message();
    ageBy(slow->tempPath(), now, 3600 - 120);

    // Old entries that are not this writer's temporary files, or not regular files.
    const std::vector<std::string> others = {
        "vol.idx.tmp-abcdefghijkl",       // not hidden
        ".vol.idx.tmp-abcdefghijk",       // 11 letters
        ".vol.idx.tmp-abcdefghijklm",     // 13 letters
        ".vol.idx.tmp-ABCDEFGHIJKL",      // capitals
        ".vol.idx.tmp-abcdefghij-_",      // other characters
        ".tmp-abcdefghijkl",              // no target name
        ".vol.idx.tmp-abcdefghijkl.bak",  // more after the suffix
        ".vol.idx.tm-abcdefghijkl",       // another mark
        "notes.txt",
    };
    for (const auto& name : others) ageBy(dir.write(name, "keep"), now, 5 * 3600);
    fs::create_directory(dir / ".folder.tmp-abcdefghijkl");
    dir.write(".folder.tmp-abcdefghijkl/.inner.tmp-abcdefghijkl", "keep");
    ageBy(dir / ".folder.tmp-abcdefghijkl/.inner.tmp-abcdefghijkl", now, 5 * 3600);
    ageBy(dir / ".folder.tmp-abcdefghijkl", now, 5 * 3600);
    const auto linked = elsewhere.write(".linked.tmp-abcdefghijkl", "not ours to remove");
    ageBy(linked, now, 5 * 3600);
    fs::create_symlink(linked, dir / ".link.tmp-abcdefghijkl");
    ageBy(dir / ".link.tmp-abcdefghijkl", now, 5 * 3600);
    const auto before = namesIn(dir.path());

    EXPECT_EQ(sweepStaleTemporaries(dir.path(), now, error), 1u);
    EXPECT_FALSE(error) << error.message();
    std::vector<std::string> expected;
    for (const auto& name : before)
        if (name != leftover.filename()) expected.push_back(name);
    EXPECT_EQ(namesIn(dir.path()), expected);
    EXPECT_EQ(readFile(target), "the saved snapshot");
    EXPECT_TRUE(fs::exists(dir / ".folder.tmp-abcdefghijkl/.inner.tmp-abcdefghijkl"))
        << "only the folder itself is swept";
    EXPECT_EQ(readFile(linked), "not ours to remove");

    EXPECT_EQ(sweepStaleTemporaries(dir.path(), now, error), 0u) << "a second sweep finds nothing";
    EXPECT_FALSE(running->commit()) << "the running writer's temporary was left alone";
    EXPECT_EQ(readFile(dir / "settings.json"), "{}");
    EXPECT_EQ(sweepStaleTemporaries(dir.path(), now + 3600, error), 1u) << "the slow writer's file, an hour later";
}

TEST(AtomicFileSweep, UnreadableFolderIsAnError) {
    TempDir dir;
    std::error_code error;
    EXPECT_EQ(sweepStaleTemporaries(dir / "missing", wallSecondsNow(), error), 0u);
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    const auto file = dir.write("plain", "x");
    EXPECT_EQ(sweepStaleTemporaries(file, wallSecondsNow(), error), 0u);
    EXPECT_EQ(error, std::errc::not_a_directory);
}

}  // namespace
}  // namespace quorvanta::platform
