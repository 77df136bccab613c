// The dupes command end to end: the built tool over a tree of WAV files, checked against b3sum,
// a snapshot saved in-process, and the export files read back.
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/text/Grapheme.h"
#include "tests/quorvanta_cli/CliRun.h"
#include "tests/quorvanta_cli/PcmFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace quorvanta::cli {
namespace {

namespace fs = std::filesystem;
using quorvanta::test::readFile;
using quorvanta::test::RunResult;
using quorvanta::test::TempDir;
using test::lines;
using test::runCli;

// Three identical WAV files (one of them behind a path of more than 150 characters with
// multi-byte characters around where its last 100 characters begin), one of another length, and
// a text file.
struct Tree {
    TempDir dir;
    fs::path root = dir / "music";
    fs::path longPath;
    std::vector<fs::path> copies;

    Tree() {
        const std::string wav = test::wavFile(8000, 1, 0.5);  // 8,044 bytes
        copies.push_back(dir.write("music/a/song.wav", wav));
        copies.push_back(dir.write("music/b/song copy.wav", wav));
        std::string deep = "music/";
        for (int i = 0; i < 5; ++i) deep += "\u00e9t\u00e9 \u266b dossier " + std::to_string(i) + "/";
        longPath = dir.write(deep + "\u00e9\u00e9\u00e9 song.wav", wav);
        copies.push_back(longPath);
        dir.write("music/other.wav", test::wavFile(8000, 1, 0.7));
        dir.write("music/notes.txt", "not audio");
    }
};

std::size_t entries(const fs::path& root) {
    std::size_t n = 1;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) ++n;
    return n;
}

// Files with equal BLAKE3 digests and sizes: the groups of identical files, as b3sum sees them.
std::map<std::string, std::set<std::string>> b3sumGroups(const fs::path& root) {
    std::vector<fs::path> wavs;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file() && e.path().extension() == ".wav") wavs.push_back(e.path());
    std::map<std::string, std::set<std::string>> groups;
    for (const fs::path& wav : wavs) {
        const RunResult digest = quorvanta::test::runProgram("/usr/bin/b3sum", {"--no-names", wav.string()});
        EXPECT_EQ(digest.status, 0) << digest.err;
        groups[digest.out + std::to_string(fs::file_size(wav))].insert(wav.string());
    }
    std::erase_if(groups, [](const auto& g) { return g.second.size() < 2; });
    return groups;
}

TEST(CliDupes, IdenticalFilesAgainstB3sum) {
    Tree t;
    const RunResult result = runCli({"dupes", "--volume", t.root.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> out = lines(result.out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0],
              "volumes: " + std::to_string(entries(t.root)) + " entries, audio rows 0; stages [1, 2, 3, 4]; threads 4");

    const auto oracle = b3sumGroups(t.root);
    ASSERT_EQ(oracle.size(), 1u);
    const std::set<std::string>& members = oracle.begin()->second;
    ASSERT_EQ(members.size(), 3u);
    const std::uint64_t size = fs::file_size(t.copies[0]);
    char surplus[32];
    std::snprintf(surplus, sizeof surplus, "%.2f GB", 2.0 * static_cast<double>(size) / 1e9);
    const std::string resultLine = "RESULT: identical groups 1 (2 surplus copies, " + std::string(surplus) +
                                   ") · same-song groups 0 (0 surplus, 0.00 GB)";
    const auto at = std::find(out.begin(), out.end(), resultLine);
    ASSERT_NE(at, out.end()) << result.out;

    // The group: its header, then one member line per file, the keeper marked once.
    ASSERT_EQ(out.end() - at, 5) << result.out;
    EXPECT_EQ(at[1], "  [identical] 3 files, surplus " + std::string(surplus));
    const std::regex member("    (KEEP   |surplus) " + std::to_string(size) + " B  0 kbit  (.*)");
    int keepers = 0;
    std::set<std::string> tails;
    for (int i = 2; i < 5; ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(at[i], m, member)) << at[i];
        keepers += m[1] == "KEEP   ";
        tails.insert(m[2]);
    }
    EXPECT_EQ(keepers, 1);
    std::set<std::string> expectedTails;
    for (const std::string& path : members) expectedTails.insert(std::string(core::text::graphemeSuffix(path, 100)));
    EXPECT_EQ(tails, expectedTails);
    const std::string longTail(core::text::graphemeSuffix(t.longPath.string(), 100));
    EXPECT_EQ(core::text::graphemeCount(longTail), 100u);
    EXPECT_TRUE(tails.contains(longTail));
    EXPECT_LT(longTail.size(), t.longPath.string().size());
    EXPECT_NE(static_cast<unsigned char>(longTail[0]) & 0xC0, 0x80u) << "the tail starts inside a character";
}

TEST(CliDupes, StageLists) {
    Tree t;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"3,1", "[1, 3]"}, {"0,6,x", "[]"}, {"5,4, 2,2", "[2, 4, 5]"}, {"", "[]"}};
    for (const auto& [list, shown] : cases) {
        const RunResult result = runCli({"dupes", "--volume", t.root.string(), "--stages", list, "--threads", "2"});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_TRUE(result.out.starts_with("volumes: ")) << result.out;
        EXPECT_NE(lines(result.out)[0].find("; stages " + shown + "; threads 2"), std::string::npos) << list << "\n"
                                                                                                     << result.out;
    }
}

TEST(CliDupes, SnapshotsComeFirstAndExports) {
    Tree t;
    TempDir other;
    other.write("x/one.wav", test::wavFile(8000, 1, 0.3));
    const fs::path snapshot = other / "music.idx";
    {
        const auto index = core::VolumeIndex::scanned({t.root.string()}, 2);
        core::SnapshotInfo info;
        info.root = t.root.string();
        ASSERT_TRUE(index->save(snapshot.string(), info));
    }
    const fs::path csv = other / "groups.csv", m3u = other / "surplus.m3u";
    const RunResult result = runCli({"dupes", "--volume", (other / "x").string(), "--snapshot", snapshot.string(),
                                     "--csv", csv.string(), "--m3u", m3u.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(lines(result.out)[0],
              "volumes: " + std::to_string(entries(t.root)) +
                  " entries, audio rows 0 | 2 entries, audio rows 0; stages [1, 2, 3, 4]; threads 4");
    EXPECT_NE(result.out.find("RESULT: identical groups 1 (2 surplus copies"), std::string::npos) << result.out;
    EXPECT_TRUE(result.out.ends_with("csv: true\nm3u: true\n")) << result.out;

    const std::vector<std::string> rows = lines(readFile(csv));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], "group,kind,confirmed,keep,path,size_bytes,codec,bitrate_kbps,duration_s,artist,title,modified");
    // The playlist names the two surplus copies, each after its #EXTINF line.
    std::set<std::string> listed;
    for (const std::string& line : lines(readFile(m3u)))
        if (!line.empty() && line[0] != '#') listed.insert(line);
    EXPECT_EQ(listed.size(), 2u);
    for (const std::string& path : listed)
        EXPECT_TRUE(std::find(t.copies.begin(), t.copies.end(), fs::path(path)) != t.copies.end()) << path;

    const RunResult refused = runCli({"dupes", "--volume", t.root.string(), "--csv", (other / "out.txt").string()});
    EXPECT_EQ(refused.status, 0);
    EXPECT_TRUE(refused.out.ends_with("csv: false\n")) << refused.out;
    EXPECT_FALSE(fs::exists(other / "out.txt"));
}

TEST(CliDupes, NothingToFindAndRefusals) {
    TempDir dir;
    dir.write("quiet/a.txt", "text");
    const RunResult none = runCli({"dupes", "--volume", (dir / "quiet").string()});
    ASSERT_EQ(none.status, 0) << none.err;
    EXPECT_EQ(none.out.substr(none.out.find("RESULT")),
              "RESULT: identical groups 0 (0 surplus copies, 0.00 GB) · same-song groups 0 (0 surplus, 0.00 GB)\n");
    EXPECT_TRUE(none.out.starts_with("volumes: 2 entries, audio rows 0; ")) << none.out;

    dir.write("broken.idx", "not a snapshot");
    for (const std::string& bad : {(dir / "broken.idx").string(), (dir / "missing.idx").string()}) {
        const RunResult result = runCli({"dupes", "--snapshot", bad, "--volume", (dir / "quiet").string()});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "cannot load " + bad + "\n");
    }
    test::expectEachRunGives(
        {{"dupes"}, {"dupes", "--stages", "1"}}, 1,
        "usage: quorvanta-cli dupes (--snapshot <file.idx> | --volume <root>)... [--stages 1,2,3,4,5] "
        "[--threads N] [--ext list] [--csv file] [--m3u file]\n");
}

}  // namespace
}  // namespace quorvanta::cli
