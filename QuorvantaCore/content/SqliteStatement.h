// One prepared SQLite statement, finalised with the object: prepare, bind by position, step,
// read columns. Texts are bound as their exact bytes with a transient copy (Linux paths need not
// be UTF-8). The caller serialises use of the connection.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::core {

class SqliteStatement {
public:
    // Prepares the whole of `sql`; `ok()` tells whether it worked.
    SqliteStatement(sqlite3* db, std::string_view sql) {
        if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
        }
    }
    ~SqliteStatement() { sqlite3_finalize(stmt_); }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool ok() const { return stmt_ != nullptr; }

    // Binders answer false when the statement did not prepare or the bind failed.
    bool bind(int at, std::int64_t value) { return stmt_ && sqlite3_bind_int64(stmt_, at, value) == SQLITE_OK; }
    bool bindText(int at, std::string_view text) {
        return stmt_ &&
               sqlite3_bind_text64(stmt_, at, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8) == SQLITE_OK;
    }
    bool bindBlob(int at, std::string_view bytes) {
        return stmt_ && sqlite3_bind_blob64(stmt_, at, bytes.data(), bytes.size(), SQLITE_TRANSIENT) == SQLITE_OK;
    }

    // One step: SQLITE_ROW, SQLITE_DONE or an error code (SQLITE_MISUSE when not prepared).
    int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_MISUSE; }
    // Steps a statement that gives no rows; true when it ran to the end.
    bool run() { return step() == SQLITE_DONE; }

    std::int64_t int64(int column) const { return sqlite3_column_int64(stmt_, column); }
    // A text or blob column as its exact bytes.
    std::string bytes(int column) const {
        const void* p = sqlite3_column_blob(stmt_, column);
        const int n = sqlite3_column_bytes(stmt_, column);
        return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
    }
    // A column as text, a number or blob converted by SQLite; none when SQLite gives no text (a
    // NULL column, or no memory for the conversion). The view lasts until the next step.
    std::optional<std::string_view> text(int column) const {
        const unsigned char* p = sqlite3_column_text(stmt_, column);
        if (!p) return std::nullopt;
        return std::string_view(reinterpret_cast<const char*>(p),
                                static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// Runs one plain statement (no arguments, no rows wanted); true when it succeeded.
inline bool sqliteExec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace quorvanta::core
