// DJ library files made by the tests: Traktor collections as XML text and Engine DJ databases
// made with SQLite, with only what the reader looks at.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::test {

// A collection document around the given elements (each a whole LOCATION element or another),
// one ENTRY per element, as a collection file holds them.
inline std::string nmlDocument(const std::vector<std::string>& elements) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
        "<NML VERSION=\"19\"><HEAD COMPANY=\"x\" PROGRAM=\"y\"></HEAD>\n"
        "<COLLECTION ENTRIES=\"" +
        std::to_string(elements.size()) + "\">\n";
    for (const auto& element : elements)
        xml += "<ENTRY TITLE=\"t\" ARTIST=\"a\">" + element + "<INFO BITRATE=\"320000\"></INFO></ENTRY>\n";
    xml += "</COLLECTION>\n</NML>\n";
    return xml;
}

// A LOCATION element; an attribute given as none is left out.
inline std::string location(std::optional<std::string> dir, std::optional<std::string> file,
                            std::optional<std::string> volume = std::nullopt) {
    std::string e = "<LOCATION";
    if (dir) e += " DIR=\"" + *dir + "\"";
    if (file) e += " FILE=\"" + *file + "\"";
    if (volume) e += " VOLUME=\"" + *volume + "\" VOLUMEID=\"" + *volume + "\"";
    return e + "></LOCATION>";
}

// One row of a Track table: a text, NULL, or a blob of the given bytes.
struct TrackRow {
    enum Type { text, null, blob } type = text;
    std::string value;
};
inline TrackRow textRow(std::string value) { return {TrackRow::text, std::move(value)}; }
inline TrackRow nullRow() { return {TrackRow::null, {}}; }
inline TrackRow blobRow(std::string bytes) { return {TrackRow::blob, std::move(bytes)}; }

// Runs SQL on a database file of the test's own, creating it and its folders; fails the test when
// a statement fails.
inline void execSQL(const std::filesystem::path& database, const std::string& sql) {
    std::filesystem::create_directories(database.parent_path());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK) << database;
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "") << " in " << sql;
    sqlite3_free(error);
    sqlite3_close(db);
}

// An Engine DJ database with a Track table holding the rows in order (and other columns and
// tables beside, which the reader does not look at).
inline void makeEngineDatabase(const std::filesystem::path& database, const std::vector<TrackRow>& rows) {
    std::filesystem::create_directories(database.parent_path());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK) << database;
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE Information (id INTEGER PRIMARY KEY, uuid TEXT);"
                           "CREATE TABLE Track (id INTEGER PRIMARY KEY, length INTEGER, path TEXT, filename TEXT);"
                           "BEGIN;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(db, "INSERT INTO Track (length, path, filename) VALUES (1, ?, 'f')", -1, &insert, nullptr),
        SQLITE_OK);
    for (const auto& row : rows) {
        if (row.type == TrackRow::text)
            sqlite3_bind_text(insert, 1, row.value.data(), static_cast<int>(row.value.size()), SQLITE_TRANSIENT);
        else if (row.type == TrackRow::blob)
            sqlite3_bind_blob(insert, 1, row.value.data(), static_cast<int>(row.value.size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(insert, 1);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    EXPECT_EQ(sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

}  // namespace quorvanta::test
