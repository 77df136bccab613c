// Reading the track paths of an Engine DJ database ("m.db"), a SQLite file that another program
// owns and may be writing while we read.
//
// The database is opened through a "file:" URI with "immutable=1", read-only: SQLite then takes
// no lock and writes nothing beside the file (no "-wal", "-shm" or "-journal"). The price: a
// write-ahead log is not read either, so tracks that Engine DJ added since its last checkpoint
// are missed until it checkpoints. Nothing we do may change the DJ's database, so the flag stays.
//
// Of the database only "SELECT path FROM Track WHERE path IS NOT NULL" is run. A step that fails
// part-way (SQLITE_CORRUPT or SQLITE_BUSY from a file being rewritten, an I/O error) ends the
// rows; the rows read before stand.
//
// Threads: each call opens its own connection. Errors: as return values; nothing is printed.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quorvanta::core::dj {

// "file:" + the path with every byte outside the characters allowed in a URL path written as
// %XX + "?immutable=1". A path that starts with "//" gets an empty authority ("file://") in
// front, so that its first component is not read as a host name.
std::string engineDatabaseURI(std::string_view path);

// Calls onPath with the text of each row, in the query's order, until the rows end, a step
// fails or a row gives no text. An empty text is no path and is passed over. False, with no
// call made, when the database is not a regular file, cannot be opened, or the query cannot be
// prepared (not a database, no Track table or no path column). The view lives for the call only.
bool readEngineTrackPaths(const std::string& database, const std::function<void(std::string_view)>& onPath);

}  // namespace quorvanta::core::dj
