// ContentIndex::update: brings the documents under one volume root up to date with a volume
// index in one pass over its entries.
//
// Paths are compared and stored as their exact bytes (Linux names need not be UTF-8). Files are
// read outside the lock; the lock is held for the initial read of the documents, each batch write
// and the final removal.
#include "QuorvantaCore/content/ContentIndex.h"

#include "QuorvantaCore/content/SqliteStatement.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "platform/fs/PathText.h"

#include <sqlite3.h>

#include <algorithm>
#include <bitset>
#include <string_view>
#include <unordered_map>

namespace quorvanta::core {

struct ContentIndex::Pending {
    std::string path;
    std::int64_t mtime = 0;
    std::int64_t size = 0;
    std::string text;
    bool hasText = false;  // counted `indexed` when written, else `skipped`
};

namespace {

constexpr std::size_t kBatchDocuments = 100;
constexpr std::size_t kBatchTextBytes = 32u << 20;  // pending texts past this are written early
constexpr std::uint32_t kCancelCheckEvery = 16384;
constexpr std::uint8_t kNotAFile = FIDX_FOLDER | FIDX_ROOT | FIDX_DELETED;

struct Recorded {
    std::int64_t id = 0;
    std::int64_t mtime = 0;
    std::int64_t size = 0;
};

bool inAny(std::string_view path, const std::vector<std::string>& folders) {
    return std::any_of(folders.begin(), folders.end(),
                       [&](const std::string& folder) { return platform::isSameOrUnder(path, folder); });
}

// Runs one document's statements; false at the first that fails.
bool writeDocument(sqlite3* db, const std::string& path, std::int64_t mtime, std::int64_t size,
                   const std::string& text) {
    // An upsert keeps a changed file's id and gives the id of this very row, also when the same
    // path came twice in one batch.
    SqliteStatement doc(db,
                        "INSERT INTO docs(path, mtime, size) VALUES(?1, ?2, ?3) ON CONFLICT(path) DO UPDATE SET "
                        "mtime=excluded.mtime, size=excluded.size RETURNING id");
    if (!doc.bindText(1, path) || !doc.bind(2, mtime) || !doc.bind(3, size) || doc.step() != SQLITE_ROW) return false;
    const std::int64_t id = doc.int64(0);
    if (doc.step() != SQLITE_DONE) return false;
    SqliteStatement drop(db, "DELETE FROM fts WHERE rowid = ?1");
    if (!drop.bind(1, id) || !drop.run()) return false;
    SqliteStatement add(db, "INSERT INTO fts(rowid, text) VALUES(?1, ?2)");
    return add.bind(1, id) && add.bindText(2, text) && add.run();
}

// How one document's statements went.
enum class Outcome { written, failed, batchLost };

// Runs `write` (true when every statement worked) in its own savepoint of the open transaction:
// when a statement fails, whatever the document wrote is undone and the batch goes on. Some
// errors (a full disk, an I/O error, RAISE(ROLLBACK) in a trigger) make SQLite roll back the
// whole transaction instead: the batch is lost, and nothing more may be written for it, since
// each later statement would commit on its own, uncounted.
template <class Write>
Outcome inSavepoint(sqlite3* db, const Write& write) {
    bool written = false;
    if (sqliteExec(db, "SAVEPOINT doc")) {
        written = write();
        if (!written) sqliteExec(db, "ROLLBACK TO doc");
        sqliteExec(db, "RELEASE doc");
    }
    if (sqlite3_get_autocommit(db)) return Outcome::batchLost;
    return written ? Outcome::written : Outcome::failed;
}

}  // namespace

void ContentIndex::flush(std::vector<Pending>& pending, Stats& stats) {
    std::int64_t indexed = 0, skipped = 0;
    bool committed = false;
    {
        std::lock_guard guard(lock_);
        if (!pending.empty() && sqliteExec(db_, "BEGIN")) {
            for (const Pending& p : pending) {
                // A document that fails leaves no half row behind and is not recorded, so the
                // next update tries it again.
                const Outcome outcome =
                    inSavepoint(db_, [&] { return writeDocument(db_, p.path, p.mtime, p.size, p.text); });
                if (outcome == Outcome::batchLost) break;  // and COMMIT fails: nothing is counted
                if (outcome == Outcome::written) ++(p.hasText ? indexed : skipped);
            }
            committed = sqliteExec(db_, "COMMIT");
            if (!committed) sqliteExec(db_, "ROLLBACK");
        }
    }
    pending.clear();
    if (committed) {
        stats.indexed += indexed;
        stats.skipped += skipped;
        if (indexed + skipped > 0) generation_.fetch_add(1, std::memory_order_acq_rel);
    }
    if (bytes() > limits_.totalBytes) stats.full = true;
}

ContentIndex::Stats ContentIndex::update(const VolumeIndex& index, const std::string& root,
                                         const std::vector<std::string>& folders,
                                         const std::function<bool()>& cancelled,
                                         const std::vector<std::string>& innerRoots) {
    Stats stats;
    // An index already past its budget takes nothing new, not even one more batch.
    stats.full = bytes() > limits_.totalBytes;
    const std::string rootPrefix = platform::joinPath(root, "");  // what every path below the root starts with

    // The documents under the root, minus those of the volumes nested in it.
    std::unordered_map<std::string, Recorded> recorded;
    {
        std::lock_guard guard(lock_);
        SqliteStatement stmt(db_,
                             "SELECT id, path, mtime, size FROM docs "
                             "WHERE substr(CAST(path AS BLOB), 1, ?1) = CAST(?2 AS BLOB)");
        stmt.bind(1, static_cast<std::int64_t>(rootPrefix.size()));
        stmt.bindBlob(2, rootPrefix);
        while (stmt.step() == SQLITE_ROW) {
            std::string path = stmt.bytes(1);
            if (inAny(path, innerRoots)) continue;
            recorded.emplace(std::move(path), Recorded{stmt.int64(0), stmt.int64(2), stmt.int64(3)});
        }
    }

    std::bitset<65536> candidate;
    for (const std::uint16_t id : index.extIDs({allExts().begin(), allExts().end()})) candidate.set(id);

    std::unordered_set<std::string> seen;
    std::vector<Pending> pending;
    std::size_t pendingText = 0;
    const std::uint32_t end = index.count();
    for (std::uint32_t i = 0; i < end; ++i) {
        if (i % kCancelCheckEvery == 0 && cancelled && cancelled()) {
            flush(pending, stats);
            return stats;
        }
        if (index.flags(i).rawValue & kNotAFile) continue;
        if (!candidate.test(index.extID(i))) continue;
        std::string path = index.path(i);
        if (!inAny(path, folders) || inAny(path, innerRoots)) continue;
        // Two live entries with one path are one file: the first one stands for it.
        if (!seen.insert(path).second) continue;

        const auto mtime = static_cast<std::int64_t>(index.mtime(i));
        const std::uint64_t size = index.size(i);
        const auto known = recorded.find(path);
        if (known != recorded.end() && known->second.mtime == mtime &&
            known->second.size == static_cast<std::int64_t>(size)) {
            ++stats.unchanged;
            continue;
        }
        if (stats.full) continue;

        std::optional<std::string> text = extract(path, index.extName(index.extID(i)), size, limits_);
        pendingText += text ? text->size() : 0;
        pending.push_back(Pending{std::move(path), mtime, static_cast<std::int64_t>(size),
                                  text ? std::move(*text) : std::string(), text.has_value()});
        if (pending.size() >= kBatchDocuments || pendingText >= kBatchTextBytes) {
            flush(pending, stats);
            pendingText = 0;
        }
    }
    flush(pending, stats);

    // Documents whose file was not seen, after a complete walk only.
    std::int64_t removed = 0;
    bool committed = false;
    {
        std::lock_guard guard(lock_);
        if (sqliteExec(db_, "BEGIN")) {
            for (const auto& [path, doc] : recorded) {
                if (seen.contains(path)) continue;
                // A document whose removal fails keeps its text.
                const Outcome outcome = inSavepoint(db_, [&, id = doc.id] {
                    SqliteStatement dropText(db_, "DELETE FROM fts WHERE rowid = ?1");
                    SqliteStatement dropDoc(db_, "DELETE FROM docs WHERE id = ?1");
                    return dropText.bind(1, id) && dropText.run() && dropDoc.bind(1, id) && dropDoc.run() &&
                           sqlite3_changes(db_) > 0;
                });
                if (outcome == Outcome::batchLost) break;
                if (outcome == Outcome::written) ++removed;
            }
            committed = sqliteExec(db_, "COMMIT");
            if (!committed) sqliteExec(db_, "ROLLBACK");
        }
    }
    if (committed && removed > 0) {
        stats.removed = removed;
        generation_.fetch_add(1, std::memory_order_acq_rel);
    }
    return stats;
}

}  // namespace quorvanta::core
