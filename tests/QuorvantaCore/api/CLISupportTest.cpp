#include "QuorvantaCore/api/CLISupport.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/json/JSONText.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

std::uint32_t mtimeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return static_cast<std::uint32_t>(st.st_mtime);
}

// A scanned tree: a.txt (5 bytes), sub/ with b.pdf, and a folder and file whose names are not
// UTF-8.
struct ScannedTree {
    ScannedTree() {
        dir.write("tree/a.txt", "hello");
        dir.write("tree/sub/b.pdf", "%PDF");
        dir.write("tree/bad\xFF/x\xC3.txt", "xy");
        root = (dir / "tree").string();
        index = VolumeIndex::scanned({root}, 1);
    }
    std::uint32_t entry(const std::string& name) const {
        for (std::uint32_t i = 0; i < index->count(); ++i) {
            if (index->name(i) == name) return i;
        }
        ADD_FAILURE() << "no entry " << name;
        return 0;
    }
    test::TempDir dir;
    std::string root;
    std::shared_ptr<VolumeIndex> index;
};

TEST(CLISupport, ListsTheShownEntriesFieldByField) {
    const ScannedTree tree;
    const std::vector<std::uint32_t> shown = {tree.entry("sub"), tree.entry("a.txt"), tree.entry("x\xC3.txt")};
    const std::string text = CLISupport::json("a \"b\" / c", 42, *tree.index, shown);

    const auto document = parseJSONStrict(text);
    ASSERT_TRUE(document && document->is_object()) << text;
    EXPECT_EQ((*document)["query"], "a \"b\" / c");
    EXPECT_EQ((*document)["total"], 42);
    EXPECT_EQ((*document)["shown"], 3);
    const nlohmann::json& results = (*document)["results"];
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0], (nlohmann::json{{"kind", "folder"},
                                          {"name", "sub"},
                                          {"path", tree.root + "/sub"},
                                          {"size", tree.index->size(shown[0])},
                                          {"modified", tree.index->mtime(shown[0])}}));
    EXPECT_EQ(results[1], (nlohmann::json{{"kind", "file"},
                                          {"name", "a.txt"},
                                          {"path", tree.root + "/a.txt"},
                                          {"size", 5},
                                          {"modified", mtimeOf(tree.root + "/a.txt")}}))
        << text;
    EXPECT_EQ(results[2]["name"], "x\xEF\xBF\xBD.txt");
    EXPECT_EQ(results[2]["path"], tree.root + "/bad\xEF\xBF\xBD/x\xEF\xBF\xBD.txt");

    // Keys in order at both levels, one member per line, slashes as they are.
    const auto at = [&](const std::string& key, std::size_t from = 0) { return text.find("\"" + key + "\": ", from); };
    EXPECT_LT(at("query"), at("results"));
    EXPECT_LT(at("results"), at("shown"));
    EXPECT_LT(at("shown"), at("total"));
    const std::size_t first = at("results");
    EXPECT_LT(at("kind", first), at("modified", first));
    EXPECT_LT(at("modified", first), at("name", first));
    EXPECT_LT(at("name", first), at("path", first));
    EXPECT_LT(at("path", first), at("size", first));
    EXPECT_NE(text.find("\"path\": \"" + tree.root + "/a.txt\",\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("\\/"), std::string::npos);
    EXPECT_NE(text.back(), '\n');
}

TEST(CLISupport, TotalIsTakenFromTheCaller) {
    const ScannedTree tree;
    const auto none = parseJSONStrict(CLISupport::json("q", 7, *tree.index, {}));
    ASSERT_TRUE(none);
    EXPECT_EQ(*none,
              (nlohmann::json{{"query", "q"}, {"total", 7}, {"shown", 0}, {"results", nlohmann::json::array()}}));
    const auto one = parseJSONStrict(CLISupport::json("q", 1000, *tree.index, {tree.entry("a.txt")}));
    ASSERT_TRUE(one);
    EXPECT_EQ((*one)["shown"], 1);
    EXPECT_EQ((*one)["total"], 1000);
}

}  // namespace
}  // namespace quorvanta::core
