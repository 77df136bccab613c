// FileMeta: the rules that finish a probe's facts, the probe an extension picks, and load over
// files of every kind made at test time.
#include "QuorvantaApp/ResultsTable/FileMeta.h"
#include "QuorvantaApp/ResultsTable/FileMetaProbes.h"
#include "tests/QuorvantaApp/ResultsTable/MetaFixtures.h"
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <thread>
#include <vector>

namespace quorvanta::app {
namespace {

namespace fs = std::filesystem;
using filemeta::Facts;
using filemeta::Probe;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

template <class T>
std::string text(const std::optional<T>& value) {
    if (!value) return "-";
    std::ostringstream out;
    out << *value;
    return out.str();
}

std::string describe(const FileMeta& m) {
    return "atime " + (m.atime ? std::to_string(m.atime->time_since_epoch().count()) : std::string("-")) +
           " duration " + text(m.duration) + " bitrate " + text(m.bitrate) + " rate " + text(m.rate) + " size " +
           text(m.w) + "x" + text(m.h) + " pages " + text(m.pages);
}

// ---- finish ------------------------------------------------------------------------------------

FileMeta finished(const Facts& facts, std::uint64_t size) {
    FileMeta meta;
    filemeta::finish(meta, facts, size);
    return meta;
}

TEST(FileMetaFinish, TableOfFacts) {
    struct Case {
        const char* what;
        Facts facts;
        std::uint64_t size;
        FileMeta expected;
    };
    const Case cases[] = {
        {"nothing read", {}, 1000, {}},
        {"an MP3 with a duration and no bit rate gets the average over the file",
         {.duration = 200.0},
         5'000'000,
         {.duration = 200.0, .bitrate = 200'000.0}},
        {"a bit rate of the file's own is kept",
         {.duration = 200.0, .bitrate = 320'000.0, .rate = 44'100.0},
         5'000'000,
         {.duration = 200.0, .bitrate = 320'000.0, .rate = 44'100.0}},
        {"a zero bit rate gives way to the average",
         {.duration = 10.0, .bitrate = 0.0},
         1000,
         {.duration = 10.0, .bitrate = 800.0}},
        {"a zero duration is dropped, and gives no bit rate", {.duration = 0.0}, 5'000'000, {}},
        {"a negative duration is dropped", {.duration = -1.0}, 5'000'000, {}},
        {"a NaN duration is dropped", {.duration = kNaN}, 5'000'000, {}},
        {"an infinite duration is dropped", {.duration = kInf}, 5'000'000, {}},
        {"a file the index holds as empty gets no average", {.duration = 3.0}, 0, {.duration = 3.0}},
        {"a NaN or infinite bit rate is not kept",
         {.duration = 2.0, .bitrate = kNaN},
         100,
         {.duration = 2.0, .bitrate = 400.0}},
        {"sample rates of 0 and NaN are dropped", {.rate = 0.0}, 100, {}},
        {"", {.rate = kNaN}, 100, {}},
        {"a pixel size is truncated to whole pixels", {.width = 64.9, .height = 48.2}, 100, {.w = 64, .h = 48}},
        {"the largest whole sides are kept", {.width = 2147483647.0, .height = 1.0}, 100, {.w = 2147483647, .h = 1}},
        {"a side of 2^31 drops the size", {.width = 2147483648.0, .height = 10.0}, 100, {}},
        {"a NaN side drops the size", {.width = kNaN, .height = 10.0}, 100, {}},
        {"an infinite side drops the size", {.width = 10.0, .height = kInf}, 100, {}},
        {"a side of 0 drops the size", {.width = 0.0, .height = 10.0}, 100, {}},
        {"a negative side drops the size", {.width = 10.0, .height = -5.0}, 100, {}},
        {"a width alone is no size", {.width = 10.0}, 100, {}},
        {"an empty PDF has 0 pages", {.pages = 0}, 100, {.pages = 0}},
        {"a negative page count is dropped", {.pages = -1}, 100, {}},
    };
    for (const Case& c : cases) {
        const FileMeta got = finished(c.facts, c.size);
        EXPECT_EQ(got, c.expected) << c.what << ": got " << describe(got) << ", want " << describe(c.expected);
    }
}

TEST(FileMetaFinish, KeepsTheAccessTimeItWasGiven) {
    FileMeta meta;
    meta.atime = std::chrono::sys_seconds(std::chrono::seconds(1'577'934'245));
    filemeta::finish(meta, {.duration = 1.0}, 10);
    EXPECT_EQ(meta.atime, std::chrono::sys_seconds(std::chrono::seconds(1'577'934'245)));
}

// ---- probe choice ------------------------------------------------------------------------------

TEST(FileMetaProbeKind, ExtensionsPickOneProbe) {
    const std::pair<const char*, Probe> cases[] = {
        {"mp3", Probe::audio}, {"MP3", Probe::audio},   {"m4a", Probe::audio}, {"flac", Probe::audio},
        {"wav", Probe::audio}, {"aiff", Probe::audio},  {"mp4", Probe::video}, {"mkv", Probe::video},
        {"ts", Probe::video},  {"png", Probe::image},   {"JPG", Probe::image}, {"heic", Probe::image},
        {"pdf", Probe::pdf},   {"PDF", Probe::pdf},     {"txt", Probe::none},  {"qvzz", Probe::none},
        {"", Probe::none},     {"tar.gz", Probe::none}, {"docx", Probe::none},
    };
    for (const auto& [ext, probe] : cases) EXPECT_EQ(filemeta::probeFor(ext), probe) << "." << ext;
}

// ---- load over real files ----------------------------------------------------------------------

// An access time well in the past: under relatime any read of the file would move it to now.
const std::chrono::sys_seconds kOldAtime{std::chrono::seconds(1'577'934'245)};  // 2020-01-02

void setAtime(const fs::path& path, std::chrono::sys_seconds when) {
    const timespec times[2] = {{when.time_since_epoch().count(), 0}, {0, UTIME_OMIT}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::optional<std::chrono::sys_seconds> atimeOf(const fs::path& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return std::nullopt;
    return std::chrono::sys_seconds(std::chrono::seconds(st.st_atim.tv_sec));
}

// Unix seconds, for messages; -1 for none.
std::int64_t unixSeconds(const std::optional<std::chrono::sys_seconds>& when) {
    return when ? when->time_since_epoch().count() : -1;
}

// The extension of a fixture's name as the index holds it.
std::string extensionOf(const fs::path& path) {
    const std::string ext = path.extension().string();
    return ext.empty() ? ext : ext.substr(1);
}

FileMeta loadFile(const fs::path& path) {
    std::error_code ec;
    const auto size = fs::is_regular_file(path, ec) ? fs::file_size(path, ec) : 0;
    return FileMeta::load(path.string(), size, extensionOf(path));
}

constexpr double kAverage = -1;  // expected bit rate: the file's size × 8 / its duration

struct Row {
    const char* file;
    std::optional<double> duration{};  // within 0.1 s for encoded files
    std::optional<double> bitrate{};   // or kAverage
    std::optional<double> rate{};
    std::optional<std::pair<int, int>> size{};
    std::optional<int> pages{};
};

const Row kRows[] = {
    {"notes.txt"},
    {"data.qvzz"},
    {"tone.wav", 1.0, 705'000.0, 44'100.0},
    {"tone.mp3", 10.0, 128'000.0, 44'100.0},
    {"video.mp4", 1.0, kAverage, {}, std::pair{64, 48}},
    {"cover.mp4", 10.0, kAverage},
    {"rotated.mp4", 1.0, kAverage, {}, std::pair{64, 48}},
    {"broken.mp4"},
    {"picture.png", {}, {}, {}, std::pair{40, 30}},
    {"photo.jpg", {}, {}, {}, std::pair{33, 17}},
    {"rotated.jpg", {}, {}, {}, std::pair{33, 17}},
    {"one.pdf", {}, {}, {}, {}, 1},
    {"three.pdf", {}, {}, {}, {}, 3},
    {"empty.pdf", {}, {}, {}, {}, 0},
    {"truncated.pdf"},
    {"locked.pdf"},
};

// What is wrong with got for the row (empty when nothing is).
std::string mismatch(const Row& row, const FileMeta& got, std::uint64_t size) {
    std::string problems;
    auto problem = [&](const std::string& p) { problems += p + "; "; };
    if (got.atime != kOldAtime) problem("atime");
    if (row.duration.has_value() != got.duration.has_value() ||
        (row.duration && std::abs(*row.duration - *got.duration) > 0.1))
        problem("duration");
    if (row.bitrate.has_value() != got.bitrate.has_value()) {
        problem("bitrate presence");
    } else if (row.bitrate && *row.bitrate == kAverage) {
        if (!got.duration || std::abs(*got.bitrate - static_cast<double>(size) * 8 / *got.duration) > 1e-6)
            problem("bitrate is not the average");
    } else if (row.bitrate && *row.bitrate != *got.bitrate) {
        problem("bitrate");
    }
    if (row.rate != got.rate) problem("rate");
    const auto size2 = got.w && got.h ? std::optional(std::pair{*got.w, *got.h}) : std::nullopt;
    if (row.size != size2 || got.w.has_value() != got.h.has_value()) problem("pixel size");
    if (row.pages != got.pages) problem("pages");
    return problems;
}

class FileMetaLoad : public ::testing::Test {
protected:
    static void SetUpTestSuite() { files_ = new audio::test::ToolFileSet(test::makeMetaFixtures("filemeta")); }
    static void TearDownTestSuite() {
        delete files_;
        files_ = nullptr;
    }
    void SetUp() override {
        AUDIO_REQUIRE_TOOL_FILES(*files_);
        for (const Row& row : kRows) setAtime(path(row.file), kOldAtime);
    }

    static fs::path path(const char* name) { return files_->dir / name; }

    static audio::test::ToolFileSet* files_;
};

audio::test::ToolFileSet* FileMetaLoad::files_ = nullptr;

TEST_F(FileMetaLoad, TableOfFiles) {
    for (const Row& row : kRows) {
        const fs::path file = path(row.file);
        const FileMeta got = loadFile(file);
        EXPECT_EQ(mismatch(row, got, fs::file_size(file)), "") << row.file << ": " << describe(got);
    }
}

TEST_F(FileMetaLoad, TheSizeGivenIsTheOneAveraged) {
    // The bit rate of a file without one of its own comes from the index's size, not the disk's.
    const FileMeta got = FileMeta::load(path("video.mp4").string(), 1'000'000, "mp4");
    ASSERT_TRUE(got.duration && got.bitrate) << describe(got);
    EXPECT_DOUBLE_EQ(*got.bitrate, 8'000'000.0 / *got.duration);
}

TEST_F(FileMetaLoad, AFifoNamedLikeAVideoGivesItsAccessTimeOnly) {
    const fs::path fifo = files_->dir / "x.mp4";
    fs::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    setAtime(fifo, kOldAtime);
    // Nobody ever writes to it: a probe that waited would never return (ctest's timeout fails it).
    EXPECT_EQ(FileMeta::load(fifo.string(), 0, "mp4"), FileMeta{.atime = kOldAtime});
    EXPECT_EQ(FileMeta::load(files_->dir.string(), 0, "mp4"), FileMeta{.atime = atimeOf(files_->dir)})
        << "a folder named like a video";
    // A device's access time moves whenever anything reads it: only the rest is compared.
    FileMeta device = FileMeta::load("/dev/zero", 0, "pdf");
    EXPECT_TRUE(device.atime.has_value());
    device.atime.reset();
    EXPECT_EQ(device, FileMeta{}) << "a device named like a PDF";
}

TEST_F(FileMetaLoad, AMissingFileGivesNothing) {
    EXPECT_EQ(FileMeta::load((files_->dir / "gone.mp3").string(), 100, "mp3"), FileMeta{});
}

TEST_F(FileMetaLoad, ReadingDoesNotMoveTheAccessTime) {
    for (const char* name : {"tone.mp3", "tone.wav", "video.mp4", "cover.mp4", "picture.png", "photo.jpg", "one.pdf"}) {
        const FileMeta got = loadFile(path(name));
        ASSERT_TRUE(got.duration || got.w || got.pages) << name << " was not read: " << describe(got);
        EXPECT_EQ(unixSeconds(atimeOf(path(name))), unixSeconds(kOldAtime)) << name;
    }
}

TEST_F(FileMetaLoad, AFileOfAnotherOwnerIsStillRead) {
    // O_NOATIME is the owner's privilege: a reader of someone else's file must fall back to a
    // plain open rather than give nothing.
    std::error_code ec;
    fs::permissions(files_->dir,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec,
                    ec);
    ASSERT_FALSE(ec) << ec.message();
    const std::vector<const char*> names = {"tone.mp3", "video.mp4", "picture.png", "one.pdf"};
    // Taken first: the child's reads, without O_NOATIME, move the access times.
    std::string expected;
    for (const char* name : names) expected += std::string(name) + " " + describe(loadFile(path(name))) + "\n";
    const std::string dir = files_->dir.string();
    const quorvanta::test::ChildOutcome outcome = quorvanta::test::runInChild([&dir, &names]() -> std::string {
        if (chdir(dir.c_str()) != 0 || setgid(65534) != 0 || setuid(65534) != 0) return "cannot drop privileges";
        if (open("tone.mp3", O_RDONLY | O_NOATIME) >= 0 || errno != EPERM) return "O_NOATIME was allowed";
        std::string out;
        for (const char* name : names) out += std::string(name) + " " + describe(loadFile(name)) + "\n";
        return out;
    });
    if (outcome.output == "cannot drop privileges" || outcome.output == "O_NOATIME was allowed")
        GTEST_SKIP() << outcome.output;
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    EXPECT_EQ(outcome.output, expected);
}

TEST_F(FileMetaLoad, FourThreadsAtOnceGetTheSingleThreadAnswers) {
    std::vector<FileMeta> alone;
    for (const Row& row : kRows) alone.push_back(loadFile(path(row.file)));
    std::vector<std::vector<FileMeta>> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results) {
        threads.emplace_back([&result] {
            for (int round = 0; round < 3; ++round) {
                for (const Row& row : kRows) result.push_back(loadFile(path(row.file)));
            }
        });
    }
    for (auto& t : threads) t.join();
    for (std::size_t t = 0; t < results.size(); ++t) {
        ASSERT_EQ(results[t].size(), 3 * alone.size());
        for (std::size_t i = 0; i < results[t].size(); ++i) {
            const std::size_t row = i % alone.size();
            EXPECT_EQ(results[t][i], alone[row]) << "thread " << t << ", " << kRows[row].file << ": "
                                                 << describe(results[t][i]) << " vs " << describe(alone[row]);
        }
    }
}

TEST_F(FileMetaLoad, BrokenFilesPrintNothing) {
    testing::internal::CaptureStderr();
    for (const char* name : {"truncated.pdf", "locked.pdf", "broken.mp4", "notes.txt"}) loadFile(path(name));
    FileMeta::load(path("truncated.pdf").string(), 1, "mp4");
    FileMeta::load(path("broken.mp4").string(), 1, "pdf");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// ---- the video probe's deadline ----------------------------------------------------------------

// A source that stalls: every read takes `step` of the fake clock and gives a few bytes.
struct StallingInput {
    platform::FakeClock clock;
    std::string bytes;
    platform::Clock::Duration step;
    int reads = 0;
    int readsAfterDeadline = 0;
    platform::Clock::TimePoint deadline;

    filemeta::MediaInput input() {
        return {bytes.size(), [this](std::uint64_t offset, std::uint8_t* into, std::size_t count) -> std::int64_t {
                    ++reads;
                    if (clock.now() >= deadline) ++readsAfterDeadline;
                    clock.advance(step);
                    const std::size_t n = std::min<std::size_t>({count, 512, bytes.size() - offset});
                    std::copy_n(bytes.data() + offset, n, into);
                    return static_cast<std::int64_t>(n);
                }};
    }
};

TEST(FileMetaVideoDeadline, AStalledReadEndsTheProbeAtTheDeadline) {
    using namespace std::chrono_literals;
    StallingInput stalling;
    // A large source of zeros: the demuxer would read probe sizes of it, 512 bytes at a time.
    stalling.bytes.assign(8 << 20, '\0');
    stalling.step = 100ms;
    stalling.deadline = stalling.clock.now() + 2s;
    const Facts facts = filemeta::videoFacts(stalling.input(), stalling.clock, 2s);
    EXPECT_EQ(facts, Facts{});
    EXPECT_EQ(stalling.readsAfterDeadline, 0);
    EXPECT_EQ(stalling.reads, 20) << "reads go on until the deadline, 100 ms each";
}

TEST(FileMetaVideoDeadline, AFileReadInTimeGivesItsFacts) {
    using namespace std::chrono_literals;
    const auto files = test::makeMetaFixtures("filemeta-deadline");
    AUDIO_REQUIRE_TOOL_FILES(files);
    StallingInput slow;
    std::ifstream in(files / "video.mp4", std::ios::binary);
    slow.bytes.assign(std::istreambuf_iterator<char>(in), {});
    slow.step = 1ms;
    slow.deadline = slow.clock.now() + 2s;
    const Facts facts = filemeta::videoFacts(slow.input(), slow.clock, 2s);
    EXPECT_EQ(facts.width, 64.0);
    EXPECT_EQ(facts.height, 48.0);
    ASSERT_TRUE(facts.duration);
    EXPECT_NEAR(*facts.duration, 1.0, 0.1);
    EXPECT_EQ(slow.readsAfterDeadline, 0);
}

}  // namespace
}  // namespace quorvanta::app
