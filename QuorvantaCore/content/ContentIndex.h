// ContentIndex: the full-text index behind the `content:` filter. One SQLite database with an
// FTS5 table holds the text of the text files and PDFs of the folders chosen for content search;
// the searcher asks it for the paths that contain a phrase, and the application's content
// maintenance brings it up to date from a volume index (`update`).
//
// Database: "content.sqlite" in the data directory, write-ahead logged. `docs` has one row per
// file an update looked at (absolute path as its exact bytes, modification time in Unix seconds,
// size); `fts` holds the text under rowid = `docs.id`, tokenised by unicode61 with diacritics
// removed, so matching ignores case and accents. A file that gave no text has a row with empty
// text, so it is not read again until it changes.
//
// Threads: one connection per instance behind `lock_`. `search`, `count` and `clear` hold the
// lock throughout; an update holds it only for its initial read, each batch write and the final
// removal, so searches run while it reads files. `bytes` reads file sizes only and takes no
// lock. `generation` may be read from any thread.
//
// Errors: only the constructor throws (QueryError "content index: cannot open" or
// "content index: FTS5 unavailable"). Later statement failures give empty results.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

struct sqlite3;

namespace quorvanta::core {

class VolumeIndex;

class ContentIndex final {
public:
    // Extraction and size limits of an update.
    struct Limits {
        std::uint64_t textFileBytes = 5242880;  // largest text file that is read
        std::uint64_t pdfBytes = 52428800;      // largest PDF that is read
        std::int64_t textPerFile = 1048576;     // characters (grapheme clusters) kept per file
        std::uint64_t totalBytes = 536870912;   // database plus log size past which no text is added
    };

    // The counts of one update.
    struct Stats {
        std::int64_t indexed = 0;    // files whose text was taken
        std::int64_t skipped = 0;    // files looked at that gave no text (recorded with empty text)
        std::int64_t removed = 0;    // documents deleted because their file was not seen
        std::int64_t unchanged = 0;  // files whose recorded modification time and size match
        bool full = false;           // the database passed `totalBytes` during this update
        bool operator==(const Stats&) const = default;
    };

    // Extensions (lower case, no dot) read as text files, and those together with "pdf".
    static const std::set<std::string>& textExts();
    static const std::set<std::string>& allExts();

    // Opens (creating when missing) the database at `path`, with the default limits or the
    // given ones. Throws QueryError.
    explicit ContentIndex(const std::string& path);
    ContentIndex(const std::string& path, Limits limits);
    ~ContentIndex();
    ContentIndex(const ContentIndex&) = delete;
    ContentIndex& operator=(const ContentIndex&) = delete;

    // The process's instance at `defaultPath()`, made on first use; null when it cannot be opened.
    static std::shared_ptr<ContentIndex> shared();
    // The data directory joined with "content.sqlite".
    static std::string defaultPath();

    const std::string& path() const { return path_; }
    const Limits& limits() const { return limits_; }

    // The number of documents; 0 when the statement fails.
    std::int64_t count() const;
    // Size of the database file plus its "-wal" file; a missing file counts 0.
    std::uint64_t bytes() const;
    // Empties the index and compacts the database and its log.
    void clear();
    // The paths (at most `limit`) of the documents holding `text` as one phrase: its tokens next
    // to each other and in order. FTS5 operators and column filters in the text are plain words.
    std::unordered_set<std::string> search(const std::string& text, int limit) const;
    // Raised by every batch write that stored a document, every removal and every `clear()`:
    // results cached under an older value may be stale.
    std::uint64_t generation() const { return generation_.load(std::memory_order_acquire); }

    // Brings the documents under `root` up to date with the index's entries: the files with an
    // extension of `allExts()` below one of `folders` (absolute paths, compared by whole
    // components as platform::isSameOrUnder does) are read when new or changed, and documents
    // under `root` whose file was not seen are removed after a complete walk. `cancelled` is asked
    // every 16,384 entries (empty: never cancelled). Documents under `innerRoots` (other volumes'
    // roots below `root`) are left alone: neither counted nor removed.
    Stats update(const VolumeIndex& index, const std::string& root, const std::vector<std::string>& folders,
                 const std::function<bool()>& cancelled = {}, const std::vector<std::string>& innerRoots = {});

    // The text of one file, or none when it gives no text: a text file of `textExts()` within
    // `textFileBytes` that holds valid UTF-8 without a 0 byte, or an unlocked PDF within
    // `pdfBytes` with some text. Kept to `textPerFile` characters. `ext` is compared in lower case.
    static std::optional<std::string> extract(const std::string& path, const std::string& ext, std::uint64_t size,
                                              const Limits& limits);

private:
    struct Pending;
    // Writes the pending documents in one transaction (lock taken here) and counts them.
    void flush(std::vector<Pending>& pending, Stats& stats);

    sqlite3* db_ = nullptr;
    mutable std::mutex lock_;  // every use of db_
    const Limits limits_;
    const std::string path_;
    std::atomic<std::uint64_t> generation_{0};
};

}  // namespace quorvanta::core
