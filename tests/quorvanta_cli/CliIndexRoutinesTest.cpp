// build, printHits and dump: the shared routines that put a volume index behind a subcommand.
#include "quorvanta_cli/Shared.h"
#include "quorvanta_cli/Tool.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <regex>
#include <sstream>

namespace quorvanta::cli {
namespace {

using quorvanta::test::TempDir;

// Runs build() with the given arguments; the status is 0 when it returned an index.
struct Built {
    std::shared_ptr<core::VolumeIndex> index;
    std::string out, err;
    int status = 0;
};
Built runBuild(std::vector<std::string> args, const std::vector<std::string>& roots) {
    std::ostringstream out, err;
    Cli cli{Args(std::move(args)), out, err};
    Built built;
    try {
        built.index = build(cli, roots);
    } catch (const RunEnd& end) {
        built.status = end.status;
    }
    built.out = out.str();
    built.err = err.str();
    return built;
}

std::optional<std::uint32_t> entryOf(const core::VolumeIndex& index, const std::string& path) {
    for (std::uint32_t i = 0; i < index.count(); ++i)
        if (index.path(i) == path) return i;
    return std::nullopt;
}

struct Trees {
    TempDir a, b;
    Trees() {
        a.write("x.txt", "abc");
        a.write("sub/.hidden", "");
        b.write("y.bin", "12345");
    }
    std::string ra() const { return a.path().string(); }
    std::string rb() const { return b.path().string(); }
};

TEST(CliIndexRoutines, BuildIndexesEveryRootAndReportsOnStandardError) {
    Trees trees;
    const auto built = runBuild({"search", "q", "--threads", "2"}, {trees.ra(), trees.rb()});
    ASSERT_EQ(built.status, 0) << built.out;
    ASSERT_TRUE(built.index);
    EXPECT_EQ(built.index->count(), 6u) << "two roots, x.txt, sub, sub/.hidden, y.bin";
    EXPECT_EQ(built.out, "") << "standard output stays for the command's results";
    const std::regex summary(
        "indexed 6 entries in [0-9]+\\.[0-9]{2} s \\(errors 0, enoent 0, nested skipped 0\\); "
        "arrays ([0-9]+\\.[0-9]{2}) B/entry, rss [0-9]+\\.[0-9]{2} MB\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(built.err, match, summary)) << built.err;
    EXPECT_EQ(match[1], fmt(static_cast<double>(built.index->arrayBytes()) / 6));
}

TEST(CliIndexRoutines, BuildFailureEndsTheRunWithItsErrorLine) {
    Trees trees;
    const struct {
        std::string missing;
        std::string printed;
    } cases[] = {
        {trees.ra() + "/none", trees.ra() + "/none"},
        {trees.ra() + "/we\"ird\\name", trees.ra() + "/we\\\"ird\\\\name"},
    };
    for (const auto& c : cases) {
        const auto built = runBuild({"search"}, {trees.rb(), c.missing});
        EXPECT_EQ(built.status, 1) << c.missing;
        EXPECT_FALSE(built.index);
        EXPECT_EQ(built.out, "error: cannotOpen(\"" + c.printed + "\")\n");
        EXPECT_EQ(built.err, "") << "no summary after a failure";
    }
}

TEST(CliIndexRoutines, PrintHitsInTheGivenOrder) {
    Trees trees;
    const auto built = runBuild({}, {trees.ra()});
    ASSERT_TRUE(built.index);
    const auto& index = *built.index;
    const auto file = entryOf(index, trees.ra() + "/x.txt");
    const auto folder = entryOf(index, trees.ra() + "/sub");
    const auto root = entryOf(index, trees.ra());
    ASSERT_TRUE(file && folder && root);
    std::ostringstream out;
    printHits(out, index, {*file, *root, *folder, *file});
    EXPECT_EQ(out.str(), "-\t3\t" + trees.ra() + "/x.txt\n" +    //
                             "d\t0\t" + trees.ra() + "\n" +      //
                             "d\t0\t" + trees.ra() + "/sub\n" +  //
                             "-\t3\t" + trees.ra() + "/x.txt\n");
    std::ostringstream none;
    printHits(none, index, {});
    EXPECT_EQ(none.str(), "");
}

TEST(CliIndexRoutines, DumpComparesIndexesWhateverTheirEntryOrder) {
    Trees trees;
    const auto ab = runBuild({}, {trees.ra(), trees.rb()});
    const auto ba = runBuild({}, {trees.rb(), trees.ra()});
    ASSERT_TRUE(ab.index && ba.index);
    ASSERT_NE(ab.index->path(0), ba.index->path(0)) << "the two indexes should differ in entry order";
    const auto entries = dump(*ab.index);
    EXPECT_EQ(entries, dump(*ba.index));
    EXPECT_EQ(entries.size(), 6u);

    struct stat st {};
    ASSERT_EQ(lstat((trees.a / "x.txt").c_str(), &st), 0);
    const auto x = entryOf(*ab.index, trees.ra() + "/x.txt");
    ASSERT_TRUE(x);
    const std::string xLine =
        trees.ra() + "/x.txt|0|3|" + std::to_string(st.st_mtim.tv_sec) + "|" + std::to_string(ab.index->ctime(*x));
    EXPECT_TRUE(entries.contains(xLine)) << xLine;
    EXPECT_TRUE(entries.contains(trees.ra() + "/sub/.hidden|2|0|" +
                                 std::to_string(ab.index->mtime(*entryOf(*ab.index, trees.ra() + "/sub/.hidden"))) +
                                 "|" +
                                 std::to_string(ab.index->ctime(*entryOf(*ab.index, trees.ra() + "/sub/.hidden")))));

    // An entry flagged deleted leaves the set, nothing else does.
    ab.index->s()->flags[*x] |= FIDX_DELETED;
    auto expected = entries;
    expected.erase(xLine);
    EXPECT_EQ(dump(*ab.index), expected);
}

}  // namespace
}  // namespace quorvanta::cli
