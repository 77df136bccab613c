#include "platform/fs/AtomicFile.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace quorvanta::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::readFile;

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
            if (bytes.size() != kSize || bytes.find_first_not_of(bytes[0]) != std::string::npos)
                torn.fetch_add(1);
        }
    });
    for (auto& t : threads) t.join();
    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(torn.load(), 0) << "a reader saw a mixed or partial file";
    const auto last = readFile(target);
    EXPECT_TRUE(last == std::string(kSize, 'a') || last == std::string(kSize, 'b'));
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"shared.dat"});
}

}  // namespace
}  // namespace quorvanta::platform
