#include "platform/fs/PathText.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quorvanta::platform {
namespace {

// Names may hold any byte but "/": a line feed, invalid UTF-8 (a lone continuation byte, a
// truncated sequence, bytes that never occur in UTF-8).
const std::string kLineFeed = "line\nfeed";
const std::string kInvalid = "\x80\xC3\xFF\xFE";

TEST(PathText, JoinsWithOneSlash) {
    const struct {
        std::string folder;
        std::string name;
        std::string joined;
    } cases[] = {
        {"/", "home", "/home"},
        {"/data/", "x", "/data/x"},
        {"/data", "x", "/data/x"},
        {"rel", "x", "rel/x"},
        {"", "x", "x"},
        {"//a", "b", "//a/b"},  // the folder is kept as written
        {"/a//", "b", "/a//b"},
        {"/a", "", "/a/"},  // the text every path below /a starts with
        {"/", "", "/"},
        {"/", ".", "/."},
        {"/a", kLineFeed, "/a/" + kLineFeed},
        {"/" + kInvalid, kInvalid, "/" + kInvalid + "/" + kInvalid},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(joinPath(c.folder, c.name), c.joined) << "join of " << c.folder << " and " << c.name;
        std::string inPlace = c.folder;
        appendToPath(inPlace, c.name);
        EXPECT_EQ(inPlace, c.joined) << "append of " << c.name << " to " << c.folder;
    }
}

TEST(PathText, ParentDropsTheLastComponent) {
    const struct {
        std::string path;
        std::string parent;
    } cases[] = {
        {"/a/b", "/a"},
        {"/a/b/", "/a"},
        {"/a//b//", "/a"},
        {"/a", "/"},
        {"/a/", "/"},
        {"//a", "/"},
        {"/", "/"},
        {"///", "/"},
        {"a", ""},
        {"a/", ""},
        {"", ""},
        {"a/b", "a"},
        {"/a/.", "/a"},  // the item "." of a folder lies in that folder
        {"/a/b\xff", "/a"},
        {"/a/" + kLineFeed, "/a"},
        {"/" + kLineFeed + "/b", "/" + kLineFeed},
        {"/" + kInvalid + "/b", "/" + kInvalid},
    };
    for (const auto& c : cases) EXPECT_EQ(parentPath(c.path), c.parent) << "parent of " << c.path;
}

TEST(PathText, LastComponentIgnoresTrailingSlashes) {
    const struct {
        std::string path;
        std::string last;
    } cases[] = {
        {"/media/me/Music SSD", "Music SSD"},
        {"/media/me/Music SSD//", "Music SSD"},
        {"a", "a"},
        {"a/b", "b"},
        {"/", ""},
        {"", ""},
        {"/a\nb", "a\nb"},
        {"/x/\xff", "\xff"},
    };
    for (const auto& c : cases) EXPECT_EQ(lastComponent(c.path), c.last) << "last component of " << c.path;
}

TEST(PathText, SameOrUnderComparesWholeComponents) {
    const struct {
        std::string path;
        std::string folder;
        bool under;
    } cases[] = {
        {"/mnt", "/mnt", true},
        {"/mnt/x", "/mnt", true},
        {"/mnt/", "/mnt", true},
        {"/mnt/x", "/mnt/", true},
        {"/mnt/x", "/mnt//", true},
        {"/mntx", "/mnt", false},
        {"/mn", "/mnt", false},
        {"/ab", "/a", false},
        {"/a", "/ab", false},
        {"/a", "/a/b", false},
        {"/", "/", true},
        {"/a", "/", true},
        {"///", "/", true},
        {"/", "/a", false},
        {"//a", "/a", true},  // repeated "/" add nothing
        {"/a", "//a", true},
        {"/a//b", "/a/b", true},
        {"", "/", false},
        {"relative", "/", false},
        {"a/b", "a", true},
        {"a", "/a", false},
        {"/a", "a", false},
        {"", "", false},  // the empty text names no folder
        {"/a", "", false},
        {"a", "", false},
        {"/a/./b", "/a/b", false},  // "." and ".." are names here
        {"/a/../b", "/b", false},
        {"/a/" + kLineFeed, "/a", true},
        {"/" + kLineFeed + "/x", "/" + kLineFeed, true},
        {"/line\nfeedx", "/" + kLineFeed, false},
        {"/line", "/" + kLineFeed, false},
        {"/" + kInvalid + "/x", "/" + kInvalid, true},
        {"/" + kInvalid, "/\x80\xC3", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isSameOrUnder(c.path, c.folder), c.under) << c.path << " in or below " << c.folder;
}

TEST(PathText, PartBelowAFolder) {
    const struct {
        std::string path;
        std::string folder;
        std::optional<std::string> below;
    } cases[] = {
        {"/a", "/a", ""},         {"/a/", "/a", ""},
        {"/a", "/a/", ""},        {"/a/b//c", "/a/", "b//c"},
        {"/a//b/", "/a", "b/"},   {"/x/y", "/", "x/y"},
        {"//x", "/", "x"},        {"/", "/", ""},
        {"a/b", "a", "b"},        {"/ab", "/a", std::nullopt},
        {"/a", "", std::nullopt}, {"/a/" + kInvalid, "/a", kInvalid},
    };
    for (const auto& c : cases) {
        const std::optional<std::string_view> got = pathBelow(c.path, c.folder);
        EXPECT_EQ(got ? std::optional<std::string>(*got) : std::nullopt, c.below) << c.path << " below " << c.folder;
    }
}

TEST(PathText, NormalisesAsText) {
    const struct {
        std::string path;
        std::string normal;
    } cases[] = {
        {"/", "/"},
        {"//", "/"},
        {"//a", "/a"},
        {"/a/", "/a"},
        {"/a//b/", "/a/b"},
        {"/a/./b/../c/", "/a/c"},
        {"/a/b/..", "/a"},
        {"/a/..", "/"},
        {"/..", "/"},
        {"/../a", "/a"},
        {"/...", "/..."},
        {"/a/..b", "/a/..b"},
        {"/a/.b", "/a/.b"},
        {"a/..", "."},
        {"a/../..", ".."},
        {"../a", "../a"},
        {"../../a/..", "../.."},
        {"./a", "a"},
        {"a/./", "a"},
        {".", "."},
        {"", ""},
        {"/" + kLineFeed + "/../b", "/b"},
        {"/" + kLineFeed + "//", "/" + kLineFeed},
        {"/" + kInvalid + "/./x/", "/" + kInvalid + "/x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(normalisedPath(c.path), c.normal) << "normal form of " << c.path;
        EXPECT_EQ(normalisedPath(c.normal), c.normal) << "normal form of the normal form " << c.normal;
    }
}

}  // namespace
}  // namespace quorvanta::platform
