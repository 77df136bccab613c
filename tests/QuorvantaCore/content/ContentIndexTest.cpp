#include "QuorvantaCore/content/ContentIndex.h"

#include "QuorvantaCore/query/Query.h"
#include "tests/QuorvantaCore/content/ContentIndexTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace quorvanta::core {
namespace {

namespace fs = std::filesystem;
using quorvanta::test::TempDir;
using test::addDocuments;

std::set<std::string> sorted(const std::unordered_set<std::string>& paths) { return {paths.begin(), paths.end()}; }

std::string openError(const std::string& path) {
    try {
        ContentIndex index(path);
    } catch (const QueryError& e) {
        return e.message();
    }
    return "opened";
}

// Rows of `sql` (first column) through a connection of the test's own.
std::vector<std::string> column(const std::string& dbPath, const char* sql) {
    sqlite3* db = nullptr;
    std::vector<std::string> rows;
    if (sqlite3_open(dbPath.c_str(), &db) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK)
            while (sqlite3_step(stmt) == SQLITE_ROW)
                rows.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return rows;
}

TEST(ContentIndexDatabase, SchemaAndSettingsOnTheSystemSQLite) {
    std::cout << "SQLite " << sqlite3_libversion() << "\n";
    TempDir dir;
    const std::string path = dir / "content.sqlite";
    ContentIndex index(path);
    EXPECT_EQ(index.path(), path);
    EXPECT_EQ(index.count(), 0);
    EXPECT_EQ(column(path, "SELECT name FROM sqlite_master WHERE name IN ('docs', 'fts') ORDER BY name"),
              (std::vector<std::string>{"docs", "fts"}));
    EXPECT_EQ(column(path, "PRAGMA journal_mode"), std::vector<std::string>{"wal"});
    EXPECT_EQ(index.limits().textFileBytes, 5242880u);
    EXPECT_EQ(index.limits().pdfBytes, 52428800u);
    EXPECT_EQ(index.limits().textPerFile, 1048576);
    EXPECT_EQ(index.limits().totalBytes, 536870912u);
    // Reopening an existing database keeps its documents.
    addDocuments(index, {{"/a.txt", "kept"}});
    ContentIndex again(path);
    EXPECT_EQ(again.count(), 1);
    EXPECT_EQ(sorted(again.search("kept", 10)), std::set<std::string>{"/a.txt"});
}

TEST(ContentIndexDatabase, ExtensionSets) {
    EXPECT_EQ(ContentIndex::textExts().size(), 33u);
    EXPECT_EQ(ContentIndex::allExts().size(), 34u);
    EXPECT_TRUE(ContentIndex::allExts().contains("pdf"));
    EXPECT_FALSE(ContentIndex::textExts().contains("pdf"));
    for (const std::string& ext : ContentIndex::textExts()) EXPECT_TRUE(ContentIndex::allExts().contains(ext));
}

TEST(ContentIndexDatabase, OpeningErrors) {
    TempDir dir;
    EXPECT_EQ(openError((dir / "missing/content.sqlite").string()), "content index: cannot open");
    const fs::path garbage = dir.write("garbage.sqlite", std::string(8192, 'x'));
    EXPECT_EQ(openError(garbage.string()), "content index: FTS5 unavailable");
    // The garbage file is left as it was.
    EXPECT_EQ(quorvanta::test::readFile(garbage), std::string(8192, 'x'));
}

TEST(ContentIndexDatabase, UnwritableFolderAsUnprivilegedUser) {
    if (geteuid() != 0 && access("/", W_OK) == 0) GTEST_SKIP() << "cannot drop privileges";
    TempDir dir;
    const fs::path locked = dir / "locked";
    fs::create_directory(locked);
    ::chmod(locked.c_str(), 0555);
    ::chmod(dir.path().c_str(), 0755);
    const auto outcome = quorvanta::test::runInChild([&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return std::string("cannot drop privileges");
        return openError((locked / "content.sqlite").string());
    });
    ::chmod(locked.c_str(), 0755);
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    EXPECT_EQ(outcome.output, "content index: cannot open");
}

TEST(ContentIndexDatabase, SharedIsNullWhenTheDatabaseCannotBeOpened) {
    TempDir dir;
    // The data directory cannot be made below a regular file.
    const fs::path file = dir.write("file", "x");
    const auto outcome = quorvanta::test::runInChild([&] {
        quorvanta::test::EnvOverride data("XDG_DATA_HOME", file.string());
        if (ContentIndex::defaultPath() != (file / "Quorvanta/content.sqlite").string())
            return "defaultPath " + ContentIndex::defaultPath();
        return std::string(ContentIndex::shared() ? "made" : "null");
    });
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    EXPECT_EQ(outcome.output, "null");
}

TEST(ContentIndexDatabase, SharedIsOneInstanceAtTheDefaultPath) {
    const auto outcome = quorvanta::test::runInChild([] {
        const auto first = ContentIndex::shared();
        if (!first) return std::string("null");
        if (first != ContentIndex::shared()) return std::string("two instances");
        return std::string(first->path() == ContentIndex::defaultPath() && fs::exists(first->path()) ? "ok" : "path");
    });
    ASSERT_TRUE(outcome.succeeded) << outcome.output;
    EXPECT_EQ(outcome.output, "ok");
}

struct SearchCase {
    const char* text;
    std::set<std::string> paths;
};

TEST(ContentIndexSearch, OnePhraseIgnoringCaseAndAccents) {
    TempDir dir;
    ContentIndex index((dir / "c.sqlite").string());
    addDocuments(index, {
                            {"/hello", "well, hello world!"},
                            {"/reversed", "world hello"},
                            {"/accent", "Grüße an die Wörld"},
                            {"/quoted", "she said \"quoted words\" twice"},
                            {"/alpha-beta", "alpha beta"},
                            {"/alphabet", "alphabet"},
                            {"/or", "alpha or beta"},
                            {"/near", "near alpha beta"},
                            {"/column", "text alpha"},
                            {"/bytes\xff\xfe.txt", "odd name"},
                        });
    const SearchCase cases[] = {
        {"hello world", {"/hello"}},
        {"world hello", {"/reversed"}},
        {"WORLD", {"/hello", "/reversed", "/accent"}},
        {"wörld", {"/hello", "/reversed", "/accent"}},
        {"grüße", {"/accent"}},
        {"GRÜßE", {"/accent"}},
        {"\"quoted words\"", {"/quoted"}},
        {"said \"quoted", {"/quoted"}},
        {"quoted\" OR \"twice", {}},
        {"\"", {}},
        {"...", {}},
        {"", {}},
        {"   ", {}},
        {"alpha OR beta", {"/or"}},
        {"NEAR(alpha beta)", {"/near"}},
        {"alph*", {}},
        {"text:alpha", {"/column"}},
        {"-alpha", {"/alpha-beta", "/or", "/near", "/column"}},
        {"alpha AND", {}},
        {"odd name", {"/bytes\xff\xfe.txt"}},
        {"absent", {}},
    };
    for (const SearchCase& c : cases) EXPECT_EQ(sorted(index.search(c.text, 100)), c.paths) << c.text;
}

TEST(ContentIndexSearch, LimitIsHonoured) {
    TempDir dir;
    ContentIndex index((dir / "c.sqlite").string());
    test::Documents docs;
    for (int i = 0; i < 20; ++i) docs.emplace_back("/doc" + std::to_string(i), "common words here");
    addDocuments(index, docs);
    EXPECT_EQ(index.count(), 20);
    for (const auto& [limit, size] :
         std::vector<std::pair<int, std::size_t>>{{1, 1}, {7, 7}, {20, 20}, {200000, 20}, {0, 0}, {-1, 0}})
        EXPECT_EQ(index.search("common words", limit).size(), size) << limit;
}

TEST(ContentIndexClear, EmptiesAndCompactsTheDatabaseAndLog) {
    TempDir dir;
    const std::string path = (dir / "c.sqlite").string();
    ContentIndex index(path);
    test::Documents docs;
    std::uint32_t seed = 12345;
    for (int d = 0; d < 300; ++d) {
        std::string text;
        while (text.size() < 12000) {
            seed = seed * 1103515245u + 12345u;
            text += "w" + std::to_string(seed % 50000) + " ";
        }
        docs.emplace_back("/d/" + std::to_string(d) + ".txt", text + "needle");
    }
    addDocuments(index, docs);
    const std::uint64_t before = index.bytes();
    EXPECT_GT(before, 3'000'000u);
    EXPECT_EQ(index.search("needle", 1000).size(), 300u);

    const std::uint64_t generation = index.generation();
    index.clear();
    EXPECT_GT(index.generation(), generation);
    EXPECT_EQ(index.count(), 0);
    EXPECT_TRUE(index.search("needle", 1000).empty());
    EXPECT_TRUE(index.search("w1", 1000).empty());
    std::error_code ec;
    EXPECT_EQ(fs::file_size(path + "-wal", ec), 0u);
    EXPECT_LT(index.bytes(), before / 20) << "before " << before;
    std::cout << "bytes before clear " << before << ", after " << index.bytes() << "\n";

    // The index stays usable after clearing.
    addDocuments(index, {{"/again", "needle"}});
    EXPECT_EQ(sorted(index.search("needle", 10)), std::set<std::string>{"/again"});
}

TEST(ContentIndexDatabase, BytesCountsTheLogOnlyWhenPresent) {
    TempDir dir;
    const std::string path = (dir / "c.sqlite").string();
    ContentIndex index(path);
    addDocuments(index, {{"/a", std::string(100000, 'a')}});
    ASSERT_GT(fs::file_size(path + "-wal"), 0u);
    EXPECT_EQ(index.bytes(), fs::file_size(path) + fs::file_size(path + "-wal"));
    index.clear();  // checkpointed: the log is empty and may go
    fs::remove(path + "-wal");
    EXPECT_EQ(index.bytes(), fs::file_size(path));
}

}  // namespace
}  // namespace quorvanta::core
