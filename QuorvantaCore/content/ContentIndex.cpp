// ContentIndex: opening the database, counting, sizing, clearing and searching.
#include "QuorvantaCore/content/ContentIndex.h"

#include "QuorvantaCore/content/SqliteStatement.h"
#include "QuorvantaCore/query/Query.h"
#include "QuorvantaCore/util/AppInfo.h"
#include "platform/fs/DataDirectory.h"

#include <sqlite3.h>
#include <sys/stat.h>

namespace quorvanta::core {

namespace {

// Closes a connection on every path out of the constructor that throws.
struct ConnectionGuard {
    sqlite3*& db;
    bool keep = false;
    ~ConnectionGuard() {
        if (!keep) {
            sqlite3_close_v2(db);
            db = nullptr;
        }
    }
};

std::uint64_t fileBytes(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

}  // namespace

const std::set<std::string>& ContentIndex::textExts() {
    static const std::set<std::string> exts{"txt",  "md",   "markdown", "csv",  "tsv", "log", "json", "xml", "yml",
                                            "yaml", "toml", "ini",      "html", "htm", "css", "js",   "ts",  "swift",
                                            "py",   "rb",   "go",       "rs",   "c",   "h",   "cpp",  "hpp", "m",
                                            "java", "kt",   "sh",       "zsh",  "sql", "tex"};
    return exts;
}

const std::set<std::string>& ContentIndex::allExts() {
    static const std::set<std::string> exts = [] {
        std::set<std::string> all = textExts();
        all.insert("pdf");
        return all;
    }();
    return exts;
}

ContentIndex::ContentIndex(const std::string& path) : ContentIndex(path, Limits{}) {}

ContentIndex::ContentIndex(const std::string& path, Limits limits) : limits_(limits), path_(path) {
    ConnectionGuard guard{db_};
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) throw QueryError::invalid("content index: cannot open");
    sqlite3_busy_timeout(db_, 5000);
    // The FTS table stores its text: without contentless-delete (SQLite before 3.43) a
    // contentless table cannot delete rows, and rows are deleted by rowid here.
    for (const char* sql : {
             "PRAGMA journal_mode=WAL",
             "PRAGMA synchronous=NORMAL",
             "CREATE TABLE IF NOT EXISTS docs(id INTEGER PRIMARY KEY, path TEXT UNIQUE NOT NULL, mtime INTEGER, "
             "size INTEGER)",
             "CREATE VIRTUAL TABLE IF NOT EXISTS fts USING fts5(text, tokenize='unicode61 remove_diacritics 2')",
         }) {
        if (!sqliteExec(db_, sql)) throw QueryError::invalid("content index: FTS5 unavailable");
    }
    guard.keep = true;
}

ContentIndex::~ContentIndex() { sqlite3_close_v2(db_); }

std::shared_ptr<ContentIndex> ContentIndex::shared() {
    static const std::shared_ptr<ContentIndex> instance = []() -> std::shared_ptr<ContentIndex> {
        try {
            return std::make_shared<ContentIndex>(defaultPath());
        } catch (const QueryError&) {
            return nullptr;
        }
    }();
    return instance;
}

std::string ContentIndex::defaultPath() {
    return (platform::dataDirectory(AppInfo::name()) / "content.sqlite").string();
}

std::int64_t ContentIndex::count() const {
    std::lock_guard guard(lock_);
    SqliteStatement stmt(db_, "SELECT count(*) FROM docs");
    return stmt.step() == SQLITE_ROW ? stmt.int64(0) : 0;
}

std::uint64_t ContentIndex::bytes() const { return fileBytes(path_) + fileBytes(path_ + "-wal"); }

void ContentIndex::clear() {
    std::lock_guard guard(lock_);
    // Deleted rows stay in the FTS index until merged, and VACUUM writes through the log in WAL
    // mode: merge, compact, then fold the log back and truncate it.
    for (const char* sql : {"DELETE FROM docs", "DELETE FROM fts", "INSERT INTO fts(fts) VALUES('optimize')", "VACUUM",
                            "PRAGMA wal_checkpoint(TRUNCATE)"})
        sqliteExec(db_, sql);
    generation_.fetch_add(1, std::memory_order_acq_rel);
}

std::unordered_set<std::string> ContentIndex::search(const std::string& text, int limit) const {
    // The whole text as one FTS5 phrase: quotes doubled inside, one at each end.
    std::string match = "\"";
    for (const char c : text) {
        if (c == '"') match += '"';
        match += c;
    }
    match += '"';

    std::unordered_set<std::string> paths;
    if (limit <= 0) return paths;
    std::lock_guard guard(lock_);
    SqliteStatement stmt(db_, "SELECT d.path FROM fts JOIN docs d ON d.id = fts.rowid WHERE fts MATCH ?1 LIMIT " +
                                  std::to_string(limit));
    if (!stmt.bindText(1, match)) return paths;
    while (stmt.step() == SQLITE_ROW) paths.insert(stmt.bytes(0));
    return paths;
}

}  // namespace quorvanta::core
