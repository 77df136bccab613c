#include "audio/dupes/FileHash.h"
#include "tests/support/Hex.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include <cstdio>
#include <random>
#include <string>

namespace quorvanta::audio {
namespace {

namespace fs = std::filesystem;

std::string seededBytes(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (auto& c : bytes) c = static_cast<char>(rng() & 0xFF);
    return bytes;
}

std::string sizePrefix(std::uint64_t size) {
    std::string le(8, '\0');
    for (int i = 0; i < 8; ++i) le[i] = static_cast<char>(size >> (8 * i));
    return le;
}

// The reference: b3sum's first 16 output bytes over (recorded size, little-endian) followed by
// the bytes the hash covers, read as two little-endian words.
std::optional<Digest128> oracle(const test::TempDir& dir, std::uint64_t size, const std::string& covered) {
    const fs::path input = dir.write("oracle-input", sizePrefix(size) + covered);
    const std::string command = "b3sum --length 16 --no-names '" + input.string() + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    char line[128] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    if (pclose(pipe) != 0 || !got) return std::nullopt;
    const auto bytes = test::fromHex(std::string(line, 32));
    if (bytes.size() != 16) return std::nullopt;
    Digest128 d;
    for (int i = 7; i >= 0; --i) {
        d.a = d.a << 8 | bytes[i];
        d.b = d.b << 8 | bytes[8 + i];
    }
    return d;
}

std::string headAndTail(const std::string& bytes) {
    return bytes.substr(0, FileHash::kQuickBlock) + bytes.substr(bytes.size() - FileHash::kQuickBlock);
}

const std::function<bool()> neverCancelled = [] { return false; };

TEST(FileHash, QuickAndFullMatchB3sumOverSizePrefixAndCoveredBytes) {
    test::TempDir dir;
    struct Case {
        std::size_t size;
        bool whole;
    };
    const Case cases[] = {{0, true}, {1, true}, {65536, true}, {131072, true}, {131073, false}, {5'000'000, false}};
    for (const Case& c : cases) {
        const std::string bytes = seededBytes(c.size, static_cast<unsigned>(c.size) + 3);
        const fs::path file = dir.write("f-" + std::to_string(c.size) + ".mp3", bytes);

        const auto quick = FileHash::quick(file, c.size);
        ASSERT_TRUE(quick) << c.size << " bytes: no quick hash";
        EXPECT_EQ(quick->whole, c.whole) << c.size << " bytes";
        const auto expectedQuick = oracle(dir, c.size, c.whole ? bytes : headAndTail(bytes));
        ASSERT_TRUE(expectedQuick) << "b3sum is missing or failed: run scripts/install-deps";
        EXPECT_EQ(quick->digest, *expectedQuick) << c.size << " bytes: quick digest";

        const auto full = FileHash::full(file, c.size, neverCancelled);
        ASSERT_TRUE(full) << c.size << " bytes: no full hash";
        EXPECT_EQ(*full, *oracle(dir, c.size, bytes)) << c.size << " bytes: full digest";
        if (c.whole) {
            EXPECT_EQ(*full, quick->digest) << c.size << " bytes: a whole quick digest is the full one";
        }
    }
}

TEST(FileHash, EqualCoveredBytesUnderDifferentSizesGiveDifferentDigests) {
    // Same first and last 64 KiB, different lengths: the quick hash reads equal bytes from both.
    test::TempDir dir;
    const std::string head = seededBytes(FileHash::kQuickBlock, 1);
    const std::string tail = seededBytes(FileHash::kQuickBlock, 2);
    const std::string shorter = head + std::string(1000, 'x') + tail;
    const std::string longer = head + std::string(5000, 'x') + tail;
    const auto a = FileHash::quick(dir.write("a.mp3", shorter), shorter.size());
    const auto b = FileHash::quick(dir.write("b.mp3", longer), longer.size());
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->digest, b->digest);
}

TEST(FileHash, MiddleByteDifferenceShowsOnlyInTheFullHash) {
    test::TempDir dir;
    std::string bytes = seededBytes(1'000'000, 9);
    const fs::path one = dir.write("one.flac", bytes);
    bytes[500'000] ^= 0x01;
    const fs::path two = dir.write("two.flac", bytes);
    const auto q1 = FileHash::quick(one, bytes.size());
    const auto q2 = FileHash::quick(two, bytes.size());
    ASSERT_TRUE(q1 && q2);
    EXPECT_EQ(q1->digest, q2->digest);
    const auto f1 = FileHash::full(one, bytes.size(), neverCancelled);
    const auto f2 = FileHash::full(two, bytes.size(), neverCancelled);
    ASSERT_TRUE(f1 && f2);
    EXPECT_NE(*f1, *f2);
}

TEST(FileHash, FilesChangedSinceIndexingGiveNone) {
    // The recorded size is what the index holds; the file on disk no longer has it.
    test::TempDir dir;
    struct Case {
        const char* what;
        std::size_t recorded;
        std::ptrdiff_t change;  // bytes added (negative: removed); 0 with `deleted`
        bool deleted;
    };
    const Case cases[] = {
        {"small file deleted", 1000, 0, true},
        {"small file shrunk", 1000, -1, false},
        {"small file grown", 1000, 1, false},
        {"large file deleted", 300'000, 0, true},
        {"large file shrunk", 300'000, -70'000, false},
        {"large file grown", 300'000, 70'000, false},
        {"whole-limit file grown by a byte", 131'072, 1, false},
    };
    for (const Case& c : cases) {
        const fs::path file = dir / (std::string(c.what) + ".mp3");
        if (!c.deleted) dir.write(file.filename().string(), seededBytes(c.recorded + c.change, 4));
        EXPECT_FALSE(FileHash::quick(file, c.recorded)) << c.what << ": quick";
        EXPECT_FALSE(FileHash::full(file, c.recorded, neverCancelled)) << c.what << ": full";
    }
}

TEST(FileHash, OtherFileTypesGiveNoneAtOnce) {
    test::TempDir dir;
    const fs::path fifo = dir / "pipe.mp3";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const fs::path folder = dir / "folder.mp3";
    fs::create_directory(folder);
    // A FIFO without a writer would block an ordinary open forever: the test would hang here.
    for (const fs::path& path : {fifo, folder, fs::path("/dev/zero")}) {
        EXPECT_FALSE(FileHash::quick(path, 0)) << path;
        EXPECT_FALSE(FileHash::quick(path, 4096)) << path;
        EXPECT_FALSE(FileHash::full(path, 4096, neverCancelled)) << path;
    }
}

// The share of the file's pages that are in the page cache.
double residentShare(const fs::path& file) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const auto size = static_cast<std::size_t>(fs::file_size(file));
    void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (map == MAP_FAILED) return -1;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> pages((size + page - 1) / page);
    const bool ok = mincore(map, size, pages.data()) == 0;
    munmap(map, size);
    if (!ok) return -1;
    return static_cast<double>(std::count_if(pages.begin(), pages.end(), [](unsigned char p) { return p & 1; })) /
           static_cast<double>(pages.size());
}

TEST(FileHash, FullHashLeavesThePageCacheAsItFoundIt) {
    test::TempDir dir;
    const std::string bytes = seededBytes(8 * FileHash::kFullBlock, 6);
    const fs::path file = dir.write("cache.flac", bytes);
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
    if (residentShare(file) != 0) GTEST_SKIP() << "this file system keeps the pages (tmpfs?)";

    ASSERT_TRUE(FileHash::full(file, bytes.size(), neverCancelled));
    EXPECT_EQ(residentShare(file), 0) << "blocks read from the disk are dropped once hashed";
    ASSERT_EQ(test::readFile(file).size(), bytes.size());  // now the whole file is cached
    ASSERT_EQ(residentShare(file), 1);
    ASSERT_TRUE(FileHash::full(file, bytes.size(), neverCancelled));
    EXPECT_EQ(residentShare(file), 1) << "blocks that were cached stay cached";
}

TEST(FileHash, CancelledFullHashGivesNone) {
    test::TempDir dir;
    const std::string bytes = seededBytes(3 * FileHash::kFullBlock, 5);
    const fs::path file = dir.write("big.wav", bytes);
    EXPECT_FALSE(FileHash::full(file, bytes.size(), [] { return true; }));
    // Cancelled between blocks: the first block is read, the second never.
    int asked = 0;
    EXPECT_FALSE(FileHash::full(file, bytes.size(), [&] { return ++asked > 1; }));
    EXPECT_EQ(asked, 2);
}

}  // namespace
}  // namespace quorvanta::audio
