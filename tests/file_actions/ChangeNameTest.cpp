// Renaming on real files, then the refusals and fallbacks that need a file system that fails on
// purpose.
#include "file_actions/FileActions.h"

#include "QuorvantaCore/lang/Lang.h"
#include "platform/fs/FakeFileSystem.h"

#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quorvanta::FileActions {
namespace {

namespace fs = std::filesystem;
using Op = platform::FakeFileSystem::Op;
using test::TempDir;

const std::string kEmpty = "The name cannot be empty.";
const std::string kBadName = "The name cannot contain “/” and cannot be “.” or “..”.";
const std::string kTooLong = "The name is too long (255 bytes at most).";

std::string repeated(std::string_view piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// What a rename gave: the new path, or the failure it threw.
using Result = std::variant<std::string, Failure>;

Result renamed(const std::string& path, std::string_view newName,
               platform::FileSystem& fs = platform::realFileSystem()) {
    try {
        return changeName(path, newName, fs);
    } catch (const Failure& failure) {
        return failure;
    }
}

std::string shown(const Result& result) {
    if (const auto* path = std::get_if<std::string>(&result)) return "renamed to " + *path;
    return std::get<Failure>(result).what();
}

class FileActionsRename : public testing::Test {
protected:
    void SetUp() override {
        core::Lang::shared().setChoice("en");
        fs::create_directory(folder);
        item = dir.write("work/a.txt", "alpha").string();
        dir.write("work/taken.txt", "taken");
    }

    TempDir dir;
    fs::path folder = dir / "work";
    std::string item;
};

TEST_F(FileActionsRename, TableOfNames) {
    struct Case {
        std::string newName;
        Result expected;  // a name in the folder, or the failure
    };
    const std::string euros = repeated("€", 85);  // 255 bytes
    const Case cases[] = {
        {"  b.txt\t", "b.txt"},
        {"\u3000b.txt", "b.txt"},
        {"\u00A0b.txt\u2003", "b.txt"},
        {euros, euros},
        {euros + "x", Failure::invalidName(kTooLong)},
        {std::string(256, 'x'), Failure::invalidName(kTooLong)},
        {"a:b.txt", "a:b.txt"},
        {"two\nlines", "two\nlines"},  // line breaks are not trimmed
        {"A.txt", "A.txt"},
        {"x/y", Failure::invalidName(kBadName)},
        {"/", Failure::invalidName(kBadName)},
        {std::string("x\0y", 3), Failure::invalidName(kBadName)},
        {".", Failure::invalidName(kBadName)},
        {"..", Failure::invalidName(kBadName)},
        {" .. ", Failure::invalidName(kBadName)},
        {"", Failure::invalidName(kEmpty)},
        {" \t\u3000", Failure::invalidName(kEmpty)},
        {"taken.txt", Failure::exists("taken.txt")},
        {"\ttaken.txt ", Failure::exists("taken.txt")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("new name \"" + c.newName + "\"");
        const Result result = renamed(item, c.newName);
        if (const auto* name = std::get_if<std::string>(&c.expected)) {
            const std::string target = (folder / *name).string();
            ASSERT_EQ(shown(result), shown(Result(target)));
            EXPECT_EQ(test::readFile(target), "alpha");
            EXPECT_FALSE(fs::exists(item));
            fs::rename(target, item);
        } else {
            EXPECT_EQ(shown(result), shown(c.expected));
            EXPECT_EQ(std::get_if<Failure>(&result) ? std::get<Failure>(result).description() : "",
                      std::get<Failure>(c.expected).description());
            EXPECT_EQ(test::readFile(item), "alpha");
        }
        EXPECT_EQ(test::readFile(folder / "taken.txt"), "taken");
        EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"a.txt", "taken.txt"}));
    }
}

TEST_F(FileActionsRename, SameNameTouchesNothing) {
    struct statx before {};
    ASSERT_EQ(statx(AT_FDCWD, item.c_str(), AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_CTIME, &before), 0);
    platform::FakeFileSystem fake;
    for (const std::string newName : {"a.txt", " a.txt\t"}) {
        EXPECT_EQ(shown(renamed(item, newName, fake)), shown(Result(item))) << newName;
        EXPECT_EQ(shown(renamed(dir.path().string() + "/work/./a.txt", newName, fake)), shown(Result(item)));
    }
    for (const auto& call : fake.calls()) {
        EXPECT_NE(call.op, Op::rename);
        EXPECT_NE(call.op, Op::renameNoReplace);
    }
    struct statx after {};
    ASSERT_EQ(statx(AT_FDCWD, item.c_str(), AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_CTIME, &after), 0);
    EXPECT_EQ(after.stx_ino, before.stx_ino);
    EXPECT_EQ(after.stx_ctime.tv_sec, before.stx_ctime.tv_sec);
    EXPECT_EQ(after.stx_ctime.tv_nsec, before.stx_ctime.tv_nsec);
}

TEST_F(FileActionsRename, FoldersLinksMissingAndProtectedItems) {
    fs::create_directory(folder / "sub");
    dir.write("work/sub/inner.txt", "inner");
    EXPECT_EQ(shown(renamed((folder / "sub").string(), "renamed")), shown(Result((folder / "renamed").string())));
    EXPECT_EQ(test::readFile(folder / "renamed/inner.txt"), "inner");

    // A link is renamed itself; what it points at keeps its name.
    fs::create_symlink(item, folder / "link");
    EXPECT_EQ(shown(renamed((folder / "link").string(), "link2")), shown(Result((folder / "link2").string())));
    EXPECT_TRUE(fs::is_symlink(folder / "link2"));
    EXPECT_EQ(test::readFile(item), "alpha");

    const std::string gone = (folder / "gone.txt").string();
    const Result missing = renamed(gone, "b.txt");
    EXPECT_EQ(shown(missing), shown(Failure::missing(gone)));
    EXPECT_EQ(std::get<Failure>(missing).description(), "“gone.txt” no longer exists.");
    EXPECT_EQ(shown(renamed(item + "/below", "b.txt")), shown(Failure::missing(item + "/below")));  // ENOTDIR

    test::EnvOverride home("HOME", (dir / "home").string());
    fs::create_directories(dir / "home/Music");
    for (const auto& path : {(dir / "home/Music").string(), std::string("~/Music"), std::string("~/Music/")}) {
        const Result refused = renamed(path, "Musik");
        EXPECT_EQ(shown(refused), shown(Failure::protected_((dir / "home/Music").string()))) << path;
        EXPECT_EQ(std::get<Failure>(refused).description(),
                  "“Music” is a protected folder (drive, user, application or system folder) and is never changed "
                  "by Quorvanta.");
    }
    EXPECT_TRUE(fs::is_directory(dir / "home/Music"));
}

// A link among the parents, then "..": the kernel would resolve ".." from where the link leads,
// the check by text from where the link stands. The action follows the check.
TEST_F(FileActionsRename, ActsOnThePathItChecked) {
    fs::create_directories(dir / "a/b");
    dir.write("x", "outer");
    dir.write("a/x", "inner");
    fs::create_directory_symlink(dir / "a/b", dir / "lnk");
    const std::string path = (dir / "lnk/../x").string();

    EXPECT_EQ(shown(renamed(path, "y")), shown(Result((dir / "y").string())));
    EXPECT_EQ(test::readFile(dir / "y"), "outer");
    EXPECT_EQ(test::readFile(dir / "a/x"), "inner");
    EXPECT_FALSE(fs::exists(dir / "a/y"));

    test::EnvOverride data("XDG_DATA_HOME", (dir / "data").string());
    fs::rename(dir / "y", dir / "x");
    const std::string inTrash = moveToTrash(path);
    EXPECT_EQ(test::readFile(inTrash), "outer");
    EXPECT_FALSE(fs::exists(dir / "x"));
    EXPECT_EQ(test::readFile(dir / "a/x"), "inner");
}

TEST_F(FileActionsRename, ExclusiveRenameUnsupported) {
    fs::create_directory(folder / "sub");
    const std::string target = (folder / "b.txt").string();
    struct Case {
        const char* what;
        std::string path;
        std::string newName;
        std::vector<std::pair<Op, int>> failures;  // on the renamed item
        Result expected;
        std::vector<std::string> namesAfter;
    };
    const Case cases[] = {
        {"a file is linked and unlinked", item, "b.txt", {}, target, {"b.txt", "sub", "taken.txt"}},
        {"the link refuses an existing name",
         item,
         "taken.txt",
         {},
         Failure::exists("taken.txt"),
         {"a.txt", "sub", "taken.txt"}},
        {"a folder cannot be moved that way",
         (folder / "sub").string(),
         "dir",
         {},
         Failure::system("Cannot rename: Invalid argument."),
         {"a.txt", "sub", "taken.txt"}},
        {"no hard links",
         item,
         "b.txt",
         {{Op::link, EPERM}},
         Failure::system("Cannot rename: Invalid argument."),
         {"a.txt", "sub", "taken.txt"}},
        {"the unlink fails",
         item,
         "b.txt",
         {{Op::unlink, EBUSY}},
         Failure::system("Cannot rename: Device or resource busy."),
         {"a.txt", "sub", "taken.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform::FakeFileSystem fake;
        fake.fail(Op::renameNoReplace, c.path, EINVAL);
        for (const auto& [op, error] : c.failures) fake.fail(op, c.path, error);
        EXPECT_EQ(shown(renamed(c.path, c.newName, fake)), shown(c.expected));
        EXPECT_EQ(namesIn(folder), c.namesAfter);
        EXPECT_EQ(test::readFile(folder / "taken.txt"), "taken");
        if (fs::exists(target)) fs::rename(target, item);
    }
    EXPECT_EQ(test::readFile(item), "alpha");
}

TEST_F(FileActionsRename, CaseOnlyRenames) {
    // The same item under another letter case, as a case-insensitive file system answers: the
    // plain rename() changes the case in place.
    platform::FakeFileSystem alias;
    alias.pretendAlias((folder / "A.txt").string(), item);
    EXPECT_EQ(shown(renamed(item, "A.txt", alias)), shown(Result((folder / "A.txt").string())));
    EXPECT_TRUE(alias.called(Op::rename, item));
    EXPECT_FALSE(alias.called(Op::renameNoReplace, item));
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"A.txt", "taken.txt"}));
    fs::rename(folder / "A.txt", item);

    // Two hard links "a.txt" and "A.txt" on a case-sensitive file system are the same item too,
    // but rename() between them would do nothing and report success.
    ASSERT_EQ(link(item.c_str(), (folder / "A.txt").c_str()), 0);
    platform::FakeFileSystem links;
    EXPECT_EQ(shown(renamed(item, "A.txt", links)), shown(Failure::exists("A.txt")));
    for (const auto& call : links.calls())
        EXPECT_TRUE(call.op == Op::lstat || call.op == Op::listFolder) << "a call that changes something";
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"A.txt", "a.txt", "taken.txt"}));

    // Another name of the same item that differs by more than case is an existing name.
    EXPECT_EQ(shown(renamed(item, "other.txt")), shown(Result((folder / "other.txt").string())));
    ASSERT_EQ(link((folder / "other.txt").c_str(), item.c_str()), 0);
    EXPECT_EQ(shown(renamed(item, "other.txt")), shown(Failure::exists("other.txt")));
}

TEST_F(FileActionsRename, ItemThatCannotBeExamined) {
    struct Case {
        int error;
        Result rename;
        std::string trash;
    };
    const Case cases[] = {
        {EACCES, Failure::system("Cannot rename: Permission denied."), "Cannot move to the Trash: Permission denied"},
        {ELOOP, Failure::system("Cannot rename: Too many levels of symbolic links."),
         "Cannot move to the Trash: Too many levels of symbolic links"},
        {ENAMETOOLONG, Failure::system("Cannot rename: File name too long."),
         "Cannot move to the Trash: File name too long"},
        {ENOENT, Failure::missing(item), ""},
        {ENOTDIR, Failure::missing(item), ""},
    };
    for (const auto& c : cases) {
        platform::FakeFileSystem fake;
        fake.fail(Op::lstat, item, c.error);
        EXPECT_EQ(shown(renamed(item, "b.txt", fake)), shown(c.rename)) << c.error;
        try {
            moveToTrash(item, fake);
            ADD_FAILURE() << "trashed despite errno " << c.error;
        } catch (const Failure& failure) {
            EXPECT_EQ(failure, c.trash.empty() ? Failure::missing(item) : Failure::system(c.trash)) << failure.what();
        }
        EXPECT_EQ(test::readFile(item), "alpha");
    }
}

}  // namespace
}  // namespace quorvanta::FileActions
