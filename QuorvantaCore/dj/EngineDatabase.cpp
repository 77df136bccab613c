#include "QuorvantaCore/dj/EngineDatabase.h"

#include "QuorvantaCore/content/SqliteStatement.h"

#include <sqlite3.h>
#include <sys/stat.h>

namespace quorvanta::core::dj {
namespace {

bool allowedInURLPath(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return c != 0 && std::string_view("-._~!$&'()*+,;=:@/").find(static_cast<char>(c)) != std::string_view::npos;
}

// Closes the connection in every case, also after a failed open (SQLite then still hands out a
// handle that holds the error).
struct Connection {
    sqlite3* db = nullptr;
    ~Connection() { sqlite3_close(db); }
};

}  // namespace

std::string engineDatabaseURI(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    if (path.starts_with("//")) uri += "//";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (allowedInURLPath(c)) {
            uri += ch;
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    uri += "?immutable=1";
    return uri;
}

bool readEngineTrackPaths(const std::string& database, const std::function<void(std::string_view)>& onPath) {
    // SQLite would block opening a FIFO; only a regular file can be a database.
    struct stat st {};
    if (::stat(database.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    Connection connection;
    if (sqlite3_open_v2(engineDatabaseURI(database).c_str(), &connection.db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                        nullptr) != SQLITE_OK)
        return false;
    SqliteStatement query(connection.db, "SELECT path FROM Track WHERE path IS NOT NULL");
    if (!query.ok()) return false;
    while (query.step() == SQLITE_ROW) {
        const auto path = query.text(0);
        if (!path) break;  // SQLite could not give the text (no memory): the walk ends here
        if (!path->empty()) onPath(*path);
    }
    return true;
}

}  // namespace quorvanta::core::dj
