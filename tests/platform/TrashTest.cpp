// The Trash on real files: the home trash in the run's own XDG_DATA_HOME (each test its own), the
// top-directory trash on a folder that a FakeFileSystem presents as a mount of its own, and
// trash-list (trash-cli) reading what was written.
#include "platform/fs/FakeFileSystem.h"
#include "platform/fs/XdgDirs.h"
#include "platform/trash/Trash.h"
#include "platform/trash/TrashInfo.h"
#include "platform/trash/TrashName.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace quorvanta::platform {
namespace {

namespace fs = std::filesystem;
using Op = FakeFileSystem::Op;
using Status = TrashOutcome::Status;
using test::EnvOverride;
using test::TempDir;

constexpr double kWhen = 1'700'000'000.0;  // 2023-11-14 22:13:20 UTC

// Local time as the test says, for the life of the object.
class TimeZone {
public:
    explicit TimeZone(const char* tz) : tz_(std::in_place, "TZ", tz) { tzset(); }
    ~TimeZone() {
        tz_.reset();
        tzset();
    }

private:
    std::optional<EnvOverride> tz_;
};

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string realFolder(const fs::path& path) { return fs::canonical(path).string(); }

// A test's own home trash: XDG_DATA_HOME points into its temporary folder while it runs.
struct HomeTrashFixture {
    TempDir dir;
    EnvOverride data{"XDG_DATA_HOME", (dir / "data").string()};
    TimeZone zone{"UTC"};
    FakeClock clock{kWhen};

    fs::path trashFolder() const { return xdgDataHome() / "Trash"; }
    Trash trash(FileSystem& fs = realFileSystem()) const { return Trash(fs, clock, trashFolder().string(), getuid()); }
};

std::string infoOf(const fs::path& trashFolder, const std::string& name) {
    return test::readFile(trashFolder / "info" / (name + ".trashinfo"));
}

TEST(TrashInfo, PathIsPercentEncodedByteByByte) {
    const std::pair<std::string, std::string> cases[] = {
        {"/home/me/a.txt", "/home/me/a.txt"},
        {"/a b/c", "/a%20b/c"},
        {"/100%", "/100%25"},
        {"/x\xff"
         "y",
         "/x%FFy"},
        {"/Ä", "/%C3%84"},
        {"/-._~AZaz09", "/-._~AZaz09"},
        {"/#?&=+:;,", "/%23%3F%26%3D%2B%3A%3B%2C"},
        {"rel/x", "rel/x"},
    };
    for (const auto& [path, encoded] : cases) EXPECT_EQ(percentEncodePath(path), encoded) << path;
}

TEST(TrashInfo, DeletionDateIsLocalTime) {
    {
        TimeZone zone("UTC");
        EXPECT_EQ(deletionDate(kWhen), "2023-11-14T22:13:20");
        EXPECT_EQ(deletionDate(kWhen + 0.9), "2023-11-14T22:13:20");
    }
    {
        TimeZone zone("UTC-2");  // two hours east of Greenwich
        EXPECT_EQ(deletionDate(kWhen), "2023-11-15T00:13:20");
    }
    EXPECT_THAT(deletionDate(realClock().wallSeconds()),
                testing::MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}"));
}

TEST(TrashName, ChoicesNumberBeforeTheExtensionAndFitTheInfoName) {
    const std::string euro = "\xE2\x82\xAC";
    std::string euros83;
    for (int i = 0; i < 83; ++i) euros83 += euro;
    std::string euros80;
    for (int i = 0; i < 80; ++i) euros80 += euro;
    struct Case {
        std::string name;
        unsigned number;
        std::string expected;
    };
    const Case cases[] = {
        {"a.txt", 1, "a.txt"},
        {"a.txt", 2, "a.2.txt"},
        {"archive.tar.gz", 3, "archive.tar.3.gz"},
        {".profile", 2, ".profile.2"},
        {"noext", 12, "noext.12"},
        {"folder.d", 2, "folder.2.d"},
        {std::string(245, 'x'), 1, std::string(245, 'x')},
        {std::string(246, 'x') + ".txt", 1, std::string(241, 'x') + ".txt"},
        {std::string(246, 'x') + ".txt", 2, std::string(239, 'x') + ".2.txt"},
        {euros83 + ".txt", 1, euros80 + ".txt"},  // 241 bytes of stem hold 80 whole "€"
        {"a." + std::string(250, 'y'), 1, "a." + std::string(243, 'y')},
    };
    for (const auto& c : cases) {
        const std::string chosen = trashName(c.name, c.number);
        EXPECT_EQ(chosen, c.expected) << c.name.size() << "-byte name, choice " << c.number;
        EXPECT_LE(chosen.size() + std::string_view(".trashinfo").size(), 255u) << chosen;
    }
}

TEST(Trash, InfoFileIsByteExact) {
    HomeTrashFixture f;
    const std::string name = "My Notes 100%\xff.txt";
    const auto item = f.dir.write("docs/" + name, "notes");
    const std::string folder = realFolder(f.dir / "docs");
    ASSERT_EQ(percentEncodePath(folder), folder) << "the temporary folder's name would need encoding";

    const TrashOutcome outcome = f.trash().trashItem(item.string());
    ASSERT_EQ(outcome.status, Status::moved) << outcome.error;
    EXPECT_EQ(outcome.trashedPath, (f.trashFolder() / "files" / name).string());
    EXPECT_EQ(infoOf(f.trashFolder(), name),
              "[Trash Info]\nPath=" + folder + "/My%20Notes%20100%25%FF.txt\nDeletionDate=2023-11-14T22:13:20\n");
    EXPECT_EQ(test::readFile(outcome.trashedPath), "notes");
    EXPECT_FALSE(fs::exists(fs::symlink_status(item)));
    for (const char* sub : {"", "files", "info"}) EXPECT_EQ(test::fileMode(f.trashFolder() / sub), 0700u) << sub;
}

TEST(Trash, HomeTrashTakesSameNamesFoldersAndLongNames) {
    HomeTrashFixture f;
    const auto first = f.dir.write("one/a.txt", "first");
    const auto second = f.dir.write("two/a.txt", "second");
    f.dir.write("tree/sub/deep.txt", "deep");
    const std::string longName = std::string(246, 'n') + ".txt";  // 250 bytes
    const auto longItem = f.dir.write(longName, "long");
    const fs::path files = f.trashFolder() / "files";

    auto trash = f.trash();
    const struct {
        fs::path item;
        std::string trashName;
        std::string originalName;
    } rows[] = {
        {first, "a.txt", "one/a.txt"},
        {second, "a.2.txt", "two/a.txt"},
        {f.dir / "tree", "tree", "tree"},
        {longItem, std::string(241, 'n') + ".txt", longName},
    };
    for (const auto& row : rows) {
        const TrashOutcome outcome = trash.trashItem(row.item.string());
        ASSERT_EQ(outcome.status, Status::moved) << row.item << ": errno " << outcome.error;
        EXPECT_EQ(outcome.trashedPath, (files / row.trashName).string());
        EXPECT_FALSE(fs::exists(fs::symlink_status(row.item))) << row.item;
        EXPECT_THAT(infoOf(f.trashFolder(), row.trashName),
                    testing::HasSubstr("\nPath=" + realFolder(f.dir.path()) + "/" + row.originalName + "\n"));
    }
    EXPECT_EQ(test::readFile(files / "a.txt"), "first");
    EXPECT_EQ(test::readFile(files / "a.2.txt"), "second");
    EXPECT_EQ(test::readFile(files / "tree/sub/deep.txt"), "deep");
}

TEST(Trash, OrphanInFilesMovesOnToTheNextName) {
    HomeTrashFixture f;
    f.dir.write("data/Trash/files/a.txt", "orphan");
    const auto item = f.dir.write("a.txt", "new");
    const TrashOutcome outcome = f.trash().trashItem(item.string());
    ASSERT_EQ(outcome.status, Status::moved) << outcome.error;
    EXPECT_EQ(outcome.trashedPath, (f.trashFolder() / "files/a.2.txt").string());
    EXPECT_EQ(test::readFile(f.trashFolder() / "files/a.txt"), "orphan");
    EXPECT_EQ(namesIn(f.trashFolder() / "info"), std::vector<std::string>{"a.2.txt.trashinfo"});
}

TEST(Trash, FailedMoveLeavesNoInfoFileAndTheItemInPlace) {
    HomeTrashFixture f;
    const auto item = f.dir.write("a.txt", "stay");
    FakeFileSystem fake;
    fake.fail(Op::renameNoReplace, item.string(), EACCES);
    const TrashOutcome outcome = f.trash(fake).trashItem(item.string());
    EXPECT_EQ(outcome.status, Status::failed);
    EXPECT_EQ(outcome.error, EACCES);
    EXPECT_EQ(test::readFile(item), "stay");
    EXPECT_TRUE(fake.called(Op::open, (f.trashFolder() / "info/a.txt.trashinfo").string()));
    EXPECT_EQ(namesIn(f.trashFolder() / "info"), std::vector<std::string>{});
    EXPECT_EQ(namesIn(f.trashFolder() / "files"), std::vector<std::string>{});
}

TEST(Trash, MissingItemIsReportedBeforeAnyTrashFolderIsMade) {
    HomeTrashFixture f;
    FakeFileSystem fake;
    const TrashOutcome outcome = f.trash(fake).trashItem((f.dir / "gone.txt").string());
    EXPECT_EQ(outcome.status, Status::missing);
    EXPECT_FALSE(fs::exists(f.trashFolder()));
    for (const auto& call : fake.calls()) EXPECT_NE(call.op, Op::mkdir) << call.path;

    const auto file = f.dir.write("file", "x");
    EXPECT_EQ(f.trash().trashItem((file / "below").string()).status, Status::missing);  // ENOTDIR
    EXPECT_FALSE(fs::exists(f.trashFolder()));
}

TEST(Trash, RefusesPathsThatNameNoItem) {
    HomeTrashFixture f;
    for (const std::string path : {"", "/", "relative/a.txt", "/x/..", "/x/."}) {
        const TrashOutcome outcome = f.trash().trashItem(path);
        EXPECT_EQ(outcome.status, Status::failed) << path;
        EXPECT_EQ(outcome.error, EINVAL) << path;
    }
    EXPECT_FALSE(fs::exists(f.trashFolder()));
}

// A folder that the fake file system presents as the top folder of another drive.
struct TopFixture : HomeTrashFixture {
    FakeFileSystem fake;
    fs::path top = dir / "drive";
    std::string uid = std::to_string(getuid());

    TopFixture() {
        fs::create_directory(top);
        fake.pretendMount(top.string(), 250, 1, 987'654);
    }
    fs::path item(const std::string& relative = "sub/x.txt") const { return dir.write("drive/" + relative, "x"); }
};

TEST(TrashTopDirectory, SecondMethodFolderIsMadeForTheUser) {
    TopFixture f;
    const auto item = f.item();
    const TrashOutcome outcome = f.trash(f.fake).trashItem(item.string());
    ASSERT_EQ(outcome.status, Status::moved) << outcome.error;
    const fs::path own = f.top / (".Trash-" + f.uid);
    EXPECT_EQ(outcome.trashedPath, (own / "files/x.txt").string());
    EXPECT_EQ(test::fileMode(own), 0700u);
    EXPECT_EQ(test::readFile(own / "info/x.txt.trashinfo"),
              "[Trash Info]\nPath=sub/x.txt\nDeletionDate=2023-11-14T22:13:20\n");
    EXPECT_FALSE(fs::exists(f.trashFolder())) << "the home trash was made for an item on another drive";
}

TEST(TrashTopDirectory, SharedStickyFolderComesFirst) {
    TopFixture f;
    fs::create_directory(f.top / ".Trash");
    ASSERT_EQ(chmod((f.top / ".Trash").c_str(), 01777), 0);
    const TrashOutcome outcome = f.trash(f.fake).trashItem(f.item().string());
    ASSERT_EQ(outcome.status, Status::moved) << outcome.error;
    EXPECT_EQ(outcome.trashedPath, (f.top / ".Trash" / f.uid / "files/x.txt").string());
    EXPECT_EQ(test::fileMode(f.top / ".Trash" / f.uid), 0700u);
    EXPECT_FALSE(fs::exists(f.top / (".Trash-" + f.uid)));
}

TEST(TrashTopDirectory, SharedFolderWithoutStickyBitOrAsLinkIsPassedOver) {
    for (const bool asLink : {false, true}) {
        TopFixture f;
        if (asLink) {
            fs::create_directory(f.dir / "elsewhere");
            ASSERT_EQ(chmod((f.dir / "elsewhere").c_str(), 01777), 0);
            fs::create_directory_symlink(f.dir / "elsewhere", f.top / ".Trash");
        } else {
            fs::create_directory(f.top / ".Trash");
            ASSERT_EQ(chmod((f.top / ".Trash").c_str(), 0777), 0);
        }
        const TrashOutcome outcome = f.trash(f.fake).trashItem(f.item().string());
        ASSERT_EQ(outcome.status, Status::moved) << outcome.error;
        EXPECT_EQ(outcome.trashedPath, (f.top / (".Trash-" + f.uid) / "files/x.txt").string())
            << (asLink ? "link" : "not sticky");
        EXPECT_EQ(namesIn(asLink ? f.dir / "elsewhere" : f.top / ".Trash"), std::vector<std::string>{});
    }
}

TEST(TrashTopDirectory, UnusableTopTrashMeansNoTrash) {
    struct Case {
        const char* what;
        std::function<void(TopFixture&)> arrange;
    };
    const Case cases[] = {
        {"own folder owned by another user",
         [](TopFixture& f) {
             fs::create_directory(f.top / (".Trash-" + f.uid));
             f.fake.pretendOwner((f.top / (".Trash-" + f.uid)).string(), getuid() + 1);
         }},
        {"own folder is a link",
         [](TopFixture& f) {
             fs::create_directory(f.dir / "elsewhere");
             fs::create_directory_symlink(f.dir / "elsewhere", f.top / (".Trash-" + f.uid));
         }},
        {"own folder is a file", [](TopFixture& f) { f.dir.write("drive/.Trash-" + f.uid, ""); }},
        {"read-only drive", [](TopFixture& f) { f.fake.fail(Op::mkdir, f.top.string(), EROFS); }},
        {"read-only at the move", [](TopFixture& f) { f.fake.fail(Op::renameNoReplace, f.top.string(), EROFS); }},
        {"another device at the move", [](TopFixture& f) { f.fake.fail(Op::renameNoReplace, f.top.string(), EXDEV); }},
    };
    for (const auto& c : cases) {
        TopFixture f;
        const auto item = f.item();
        c.arrange(f);
        const TrashOutcome outcome = f.trash(f.fake).trashItem(item.string());
        EXPECT_EQ(outcome.status, Status::noTrash) << c.what << ": errno " << outcome.error;
        EXPECT_EQ(test::readFile(item), "x") << c.what;
        EXPECT_EQ(namesIn(f.top / (".Trash-" + f.uid) / "info"), std::vector<std::string>{}) << c.what;
        EXPECT_EQ(namesIn(f.dir / "elsewhere"), std::vector<std::string>{}) << c.what;
    }
}

TEST(TrashTopDirectory, HomeTrashOnAnotherMountOfTheSameDeviceGoesOnToTheTopTrash) {
    TopFixture f;
    // The drive is presented as the home trash's own device and mount, but the rename into the
    // home trash crosses mounts (a bind mount): the drive's own Trash takes the item.
    FileStatus home;
    ASSERT_EQ(realFileSystem().stat(f.dir.path().string(), home), 0);
    FakeFileSystem fake;
    fake.pretendMount(f.top.string(), home.devMajor, home.devMinor, home.mountID.value_or(0));
    fake.fail(Op::renameNoReplace, f.trashFolder().string(), EXDEV);
    const auto item = f.item();
    const TrashOutcome outcome = f.trash(fake).trashItem(item.string());
    ASSERT_EQ(outcome.status, Status::moved) << outcome.error;
    EXPECT_EQ(outcome.trashedPath, (f.top / (".Trash-" + f.uid) / "files/x.txt").string());
    EXPECT_EQ(namesIn(f.trashFolder() / "info"), std::vector<std::string>{});
}

// A real second device: a tmpfs mounted in a child process with a mount namespace of its own,
// so nothing stays mounted; skipped where mounting is refused.
TEST(TrashTopDirectory, TmpfsMountGetsItsOwnTrash) {
    HomeTrashFixture f;
    const fs::path drive = f.dir / "drive";
    const fs::path readOnly = f.dir / "read-only";
    fs::create_directory(drive);
    fs::create_directory(readOnly);
    const std::string uid = std::to_string(getuid());
    const auto outcome = test::runInChild([&]() -> std::string {
        if (unshare(CLONE_NEWNS) != 0) return std::string("skip unshare(CLONE_NEWNS): ") + std::strerror(errno);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("skip making mounts private: ") + std::strerror(errno);
        if (mount("tmpfs", drive.c_str(), "tmpfs", 0, "size=1m") != 0)
            return std::string("skip tmpfs mount: ") + std::strerror(errno);
        if (mount("tmpfs", readOnly.c_str(), "tmpfs", 0, "size=1m") != 0)
            return std::string("skip tmpfs mount: ") + std::strerror(errno);
        const auto item = f.dir.write("drive/sub/x.txt", "x");
        const auto stuck = f.dir.write("read-only/y.txt", "y");
        if (mount(nullptr, readOnly.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            return std::string("skip read-only remount: ") + std::strerror(errno);

        auto trash = f.trash();
        const TrashOutcome moved = trash.trashItem(item.string());
        const fs::path own = drive / (".Trash-" + uid);
        if (moved.status != Status::moved) return "not moved, errno " + std::to_string(moved.error);
        if (moved.trashedPath != (own / "files/x.txt").string()) return "moved to " + moved.trashedPath;
        if (test::readFile(own / "info/x.txt.trashinfo") !=
            "[Trash Info]\nPath=sub/x.txt\nDeletionDate=2023-11-14T22:13:20\n")
            return "info file: " + test::readFile(own / "info/x.txt.trashinfo");
        if (fs::exists(f.trashFolder())) return "the home trash was made";

        const TrashOutcome refused = trash.trashItem(stuck.string());
        if (refused.status != Status::noTrash)
            return "read-only drive: not noTrash, errno " + std::to_string(refused.error);
        if (test::readFile(stuck) != "y") return "the item on the read-only drive moved";
        return "ok";
    });
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    if (outcome.output.rfind("skip ", 0) == 0) GTEST_SKIP() << outcome.output.substr(5);
    EXPECT_EQ(outcome.output, "ok");
}

std::optional<fs::path> onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    std::size_t at = 0;
    while (at <= folders.size()) {
        const auto colon = std::min(folders.find(':', at), folders.size());
        const fs::path candidate = fs::path(folders.substr(at, colon - at)) / program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        at = colon + 1;
    }
    return std::nullopt;
}

TEST(TrashOracle, TrashListShowsOriginalPathsAndDates) {
    const auto trashList = onPath("trash-list");
    ASSERT_TRUE(trashList) << "trash-list is missing (Debian package trash-cli; run scripts/install-deps)";
    HomeTrashFixture f;
    const auto plain = f.dir.write("a.txt", "1");
    const auto spaced = f.dir.write("with space 100%.txt", "2");
    const auto again = f.dir.write("other/a.txt", "3");
    auto trash = f.trash();
    for (const auto& item : {plain, spaced, again})
        ASSERT_EQ(trash.trashItem(item.string()).status, Status::moved) << item;

    test::RunOptions options;
    options.env = {{"XDG_DATA_HOME", xdgDataHome().string()}, {"TZ", "UTC"}};
    const auto result = test::runProgram(*trashList, {}, options);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string folder = realFolder(f.dir.path());
    for (const auto& original : {folder + "/a.txt", folder + "/with space 100%.txt", folder + "/other/a.txt"})
        EXPECT_THAT(result.out, testing::HasSubstr("2023-11-14 22:13:20 " + original + "\n")) << result.out;
}

}  // namespace
}  // namespace quorvanta::platform
