// Helpers for tests that need documents in a content index without a volume index: a second
// SQLite connection writes rows straight into the database the index has open.
#pragma once

#include "QuorvantaCore/content/ContentIndex.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quorvanta::core::test {

// (path, text) pairs.
using Documents = std::vector<std::pair<std::string, std::string>>;

// Adds the documents to the database of `index` in one transaction, as an update would store
// them. Does not raise `index.generation()`.
inline void addDocuments(const ContentIndex& index, const Documents& docs) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(index.path().c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
    for (const auto& [path, text] : docs) {
        sqlite3_stmt* doc = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO docs(path, mtime, size) VALUES(?1, 0, ?2) RETURNING id", -1, &doc,
                                     nullptr),
                  SQLITE_OK);
        sqlite3_bind_text64(doc, 1, path.data(), path.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        sqlite3_bind_int64(doc, 2, static_cast<sqlite3_int64>(text.size()));
        ASSERT_EQ(sqlite3_step(doc), SQLITE_ROW) << sqlite3_errmsg(db);
        const sqlite3_int64 id = sqlite3_column_int64(doc, 0);
        sqlite3_finalize(doc);
        sqlite3_stmt* fts = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO fts(rowid, text) VALUES(?1, ?2)", -1, &fts, nullptr), SQLITE_OK);
        sqlite3_bind_int64(fts, 1, id);
        sqlite3_bind_text64(fts, 2, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        ASSERT_EQ(sqlite3_step(fts), SQLITE_DONE) << sqlite3_errmsg(db);
        sqlite3_finalize(fts);
    }
    ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

// Runs `sql` on the database of `index` through a connection of the test's own, e.g. to add a
// trigger that makes the index's own statements fail.
inline void execute(const ContentIndex& index, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(index.path().c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

// Two columns of every row of `sql` (an integer and a text), read through a connection of the
// test's own.
inline std::map<std::int64_t, std::string> rows(const ContentIndex& index, const char* sql) {
    std::map<std::int64_t, std::string> out;
    sqlite3* db = nullptr;
    if (sqlite3_open(index.path().c_str(), &db) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK)
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                const auto* text = static_cast<const char*>(sqlite3_column_blob(stmt, 1));
                out[sqlite3_column_int64(stmt, 0)] =
                    text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, 1))) : "";
            }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return out;
}

// id -> path of every document, and rowid -> text of every row of the text table.
inline std::map<std::int64_t, std::string> docPaths(const ContentIndex& index) {
    return rows(index, "SELECT id, path FROM docs");
}
inline std::map<std::int64_t, std::string> ftsTexts(const ContentIndex& index) {
    return rows(index, "SELECT rowid, text FROM fts");
}

}  // namespace quorvanta::core::test
