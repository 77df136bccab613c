// The drive clean-up report: junk kinds of names, rows of one index (over a real scan and against
// a cache-free reference on random indexes), and the CSV export read back by an independent reader.
#include "QuorvantaCore/index/ExportFile.h"
#include "QuorvantaCore/index/JunkReport.h"
#include "QuorvantaCore/index/VolumeIndex.h"

#include "tests/QuorvantaCore/index/IndexTestSupport.h"
#include "tests/support/CsvReader.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <random>

namespace quorvanta::core {
namespace {

namespace fs = std::filesystem;
using JunkReport::Row;
using quorvanta::test::TempDir;

TEST(JunkReport, KindOfName) {
    struct Case {
        std::string name;
        bool isDir;
        std::optional<std::string> kind;
    };
    const std::vector<Case> cases = {
        {"._photo.jpg", false, "._*"},
        {"._x", true, "._*"},
        {"._\xff", false, "._*"},
        {".DS_Store", false, ".DS_Store"},
        {".ds_store", false, ".ds_store"},
        {".Spotlight-V100", true, ".Spotlight-V100"},
        {".DocumentRevisions-V100", true, ".DocumentRevisions-V100"},
        {".hidden", false, std::nullopt},
        {".", true, std::nullopt},
        {"Icon\r", false, "Icon\\r"},
        {"Icon", false, std::nullopt},
        {"icon\r", false, std::nullopt},
        {"Thumbs.db", false, "Thumbs.db"},
        {"THUMBS.DB", false, "THUMBS.DB"},
        {"$RECYCLE.BIN", true, "$RECYCLE.BIN"},
        {"System Volume Information", true, "System Volume Information"},
        {"Thumbs.db\xff", false, std::nullopt},
        // Unicode lower-casing: the Kelvin sign lower-cases to "k".
        {"Des\u212Atop.ini", false, "Des\u212Atop.ini"},
        {"FOUND.000", true, "FOUND.*"},
        {"found.7", true, "FOUND.*"},
        {"FOUND.000", false, std::nullopt},
        {"FOUND.", true, std::nullopt},
        {"FOUND.A12", true, std::nullopt},
        {"FOUND.\u0663", true, "FOUND.*"},  // Arabic-Indic digit three
        {"FOUND.\u2162", true, "FOUND.*"},  // Roman numeral three
        {"FOUND.\u00BD", true, "FOUND.*"},  // vulgar fraction one half
        {"FOUND.\u00E9", true, std::nullopt},
        {"FOUND.\xff", true, std::nullopt},
        {"FOUND\xcc.0", true, std::nullopt},
        {"FILE0001.CHK", false, "FILE*.CHK"},
        {"file0001.chk", true, "FILE*.CHK"},
        {"FILE00001.CHK", false, std::nullopt},
        {"FILE001.CHK", false, std::nullopt},
        // 12 clusters of 13 code points: "e" and a combining acute accent are one character.
        {"FILEe\u0301001.CHK", false, "FILE*.CHK"},
        // 12 bytes, but "é" is one character of two bytes: 11 characters.
        {"FILE\u00E901.CHK", false, std::nullopt},
        // Bytes that are not UTF-8 count one character each.
        {"FILE\xff\xfe"
         "01.CHK",
         false, "FILE*.CHK"},
        {"\xff\xfe\xfd", false, std::nullopt},
        {"", false, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(JunkReport::kind(c.name, c.isDir), c.kind) << c.name << " dir=" << c.isDir;
}

std::optional<std::uint32_t> entryAt(const VolumeIndex& index, const fs::path& path) {
    for (std::uint32_t i = 0; i < index.count(); ++i)
        if (index.path(i) == path.string()) return i;
    return std::nullopt;
}

TEST(JunkReport, AggregateOfAScannedTree) {
    TempDir dir;
    const fs::path root = dir / "vol";
    const auto file = [&](const std::string& relative, std::size_t size) {
        dir.write("vol/" + relative, std::string(size, 'x'));
    };
    file("._photo.jpg", 10);
    file(".DS_Store", 20);
    file(".ds_store", 999);  // not junk to the scan, which takes this name as spelled only
    file("Thumbs.db", 30);
    file("sub/THUMBS.DB", 30);
    file("sub/plain.txt", 500);
    file("$RECYCLE.BIN/a.txt", 100);
    file("$RECYCLE.BIN/b.bin", 200);
    file("$RECYCLE.BIN/deep/x", 5);
    file("$RECYCLE.BIN/gone.txt", 1000);
    file("$RECYCLE.BIN/RECYCLED/y", 7);
    // Twelve bytes to the scan's rule, eleven characters to the report's: junk without a kind.
    file("FILE\u00E901.CHK/inner.dat", 40);
    fs::create_directories(root / "FOUND.000");

    const auto index = VolumeIndex::scanned({root.string()}, 4);
    const auto gone = entryAt(*index, root / "$RECYCLE.BIN/gone.txt");
    ASSERT_TRUE(gone);
    ASSERT_EQ(fidx_set_deleted(index->s(), *gone), 1);

    const std::vector<Row> expected = {
        {"$RECYCLE.BIN", 3, 305}, {"other", 1, 40}, {"THUMBS.DB", 1, 30}, {"Thumbs.db", 1, 30},
        {".DS_Store", 1, 20},     {"._*", 1, 10},   {"RECYCLED", 1, 7},
    };
    EXPECT_EQ(JunkReport::aggregate(*index), expected);

    // An index without junk files gives no rows.
    const auto sub = VolumeIndex::scanned({(root / "sub").string()}, 1);
    EXPECT_EQ(JunkReport::aggregate(*sub), (std::vector<Row>{{"THUMBS.DB", 1, 30}}));
    fs::remove(root / "sub/THUMBS.DB");
    EXPECT_EQ(JunkReport::aggregate(*VolumeIndex::scanned({(root / "sub").string()}, 1)), std::vector<Row>{});
}

// The rows as the report defines them, walking every parent chain from scratch.
std::vector<Row> reference(const VolumeIndex& index) {
    const std::uint32_t n = index.count();
    std::map<std::string, Row> rows;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint8_t f = index.flags(i).rawValue;
        if (!(f & FIDX_JUNK) || (f & (FIDX_FOLDER | FIDX_ROOT | FIDX_DELETED))) continue;
        std::optional<std::string> kind = JunkReport::kind(index.name(i), false);
        for (std::uint32_t p = index.s()->parent[i], steps = 0; !kind && p < n && steps < n; ++steps) {
            if (index.flags(p).contains(EntryFlags::root)) break;
            kind = JunkReport::kind(index.name(p), true);
            p = index.s()->parent[p];
        }
        Row& row = rows[kind.value_or(std::string(JunkReport::other))];
        row.kind = kind.value_or(std::string(JunkReport::other));
        row.files += 1;
        row.bytes += index.size(i);
    }
    std::vector<Row> out;
    for (auto& [kind, row] : rows) out.push_back(row);
    std::stable_sort(out.begin(), out.end(), [](const Row& a, const Row& b) { return a.bytes > b.bytes; });
    return out;
}

// A random tree of folders and files over a pool of junk and plain names, with random junk and
// deleted bits; with `damage`, some folders get a parent further down their own subtree or
// anywhere, so chains loop.
std::shared_ptr<VolumeIndex> randomIndex(std::mt19937& rng, bool damage) {
    static const std::vector<std::string> names = {"._a",
                                                   ".DS_Store",
                                                   ".ds_store",
                                                   "Thumbs.db",
                                                   "THUMBS.DB",
                                                   "FOUND.001",
                                                   "FOUND.x",
                                                   "FILE0001.CHK",
                                                   "Icon\r",
                                                   "RECYCLED",
                                                   "$RECYCLE.BIN",
                                                   "plain",
                                                   "docs",
                                                   "a.txt",
                                                   ".cache",
                                                   "FILE\xff"
                                                   "001.CHK"};
    auto index = VolumeIndex::create(1u << 16, 1u << 22, {});
    std::vector<std::uint32_t> folders = {test::commitRecords(*index, FIDX_NONE, {{"/r", 0, 0, 0, test::kRootFlags}})};
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    for (std::size_t next = 0; next < folders.size() && index->count() < 3000; ++next) {
        std::vector<test::Record> batch(pick(8));
        for (test::Record& r : batch) {
            r.name = names[pick(names.size())];
            r.flags = static_cast<std::uint8_t>((pick(3) == 0 ? FIDX_FOLDER : 0) | (pick(2) ? FIDX_JUNK : 0) |
                                                (pick(10) == 0 ? FIDX_DELETED : 0));
            r.size = (r.flags & FIDX_FOLDER) ? 0 : pick(5) * 100;  // equal totals happen often
        }
        if (batch.empty()) continue;
        const std::uint32_t first = test::commitRecords(*index, folders[next], batch);
        for (std::uint32_t k = 0; k < batch.size(); ++k)
            if (batch[k].flags & FIDX_FOLDER) folders.push_back(first + k);
    }
    if (damage && folders.size() > 1)
        for (int k = 0; k < 20; ++k)
            index->s()->parent[folders[1 + pick(folders.size() - 1)]] = pick(index->count() + 2);
    return index;
}

TEST(JunkReport, AggregateEqualsAReferenceOnRandomIndexes) {
    std::mt19937 rng(20261210);
    for (int round = 0; round < 60; ++round) {
        const bool damage = round % 3 == 2;
        const auto index = randomIndex(rng, damage);
        const std::vector<Row> rows = JunkReport::aggregate(*index);
        ASSERT_EQ(rows, reference(*index)) << "round " << round << " damage=" << damage;
    }
}

TEST(JunkReport, AParentChainThatLoopsEnds) {
    auto index = VolumeIndex::create(1u << 10, 1u << 16, {});
    const std::uint32_t root = test::commitRecords(*index, FIDX_NONE, {{"/r", 0, 0, 0, test::kRootFlags}});
    const std::uint32_t a = test::commitRecords(*index, root, {{"a", 0, 0, 0, FIDX_FOLDER | FIDX_JUNK}});
    const std::uint32_t b = test::commitRecords(*index, a, {{"b", 0, 0, 0, FIDX_FOLDER | FIDX_JUNK}});
    test::commitRecords(*index, b, {{"f", 9, 0, 0, FIDX_JUNK}, {"g", 1, 0, 0, FIDX_JUNK}});
    index->s()->parent[a] = b;  // a and b are each other's parent
    EXPECT_EQ(JunkReport::aggregate(*index), (std::vector<Row>{{"other", 2, 10}}));
}

TEST(JunkReport, CsvExport) {
    EXPECT_EQ(JunkReport::csv({}), "volume,kind,files,size_bytes\n");
    EXPECT_EQ(JunkReport::csv({{"Empty", {}}}), "volume,kind,files,size_bytes\n");

    const std::vector<JunkReport::VolumeRows> volumes = {
        {"Disk \"A\", backup", {{"._*", 2, 10}, {"Icon\\r", 1, 18446744073709551615u}}},
        {"Empty", {}},
        {"B", {{"other", 1, 0}}},
    };
    const std::string text = JunkReport::csv(volumes);
    EXPECT_EQ(text,
              "volume,kind,files,size_bytes\n"
              "\"Disk \"\"A\"\", backup\",\"._*\",2,10\n"
              "\"Disk \"\"A\"\", backup\",\"Icon\\r\",1,18446744073709551615\n"
              "\"B\",\"other\",1,0\n");

    TempDir dir;
    const fs::path out = dir / "clean-up.csv";
    ASSERT_TRUE(ExportFile::save(text, out.string(), {}));
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(quorvanta::test::fileMode(out), 0644u & ~mask);
    const std::string back = quorvanta::test::readFile(out);
    EXPECT_EQ(back, text);
    const quorvanta::test::CsvRows expected = {
        {"volume", "kind", "files", "size_bytes"},
        {"Disk \"A\", backup", "._*", "2", "10"},
        {"Disk \"A\", backup", "Icon\\r", "1", "18446744073709551615"},
        {"B", "other", "1", "0"},
    };
    EXPECT_EQ(quorvanta::test::readCsv(back), expected);
}

}  // namespace
}  // namespace quorvanta::core
