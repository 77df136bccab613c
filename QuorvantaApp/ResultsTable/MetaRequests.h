// The per-file metadata of the results table's rows (FileMeta), loaded in the background when a
// cell asks for it, that is when it is drawn. Each file is asked for at most once per result set.
// Loads run on a pool of at most kThreads threads of low priority; their results come back to
// the main thread by a queued call and are kept only when the result set that asked is still the
// one shown, then `loaded(row)` tells the table to draw that row's lazy cells again.
//
// The cache is keyed by the file's path, size and modification time as the index knows them, so
// a file replaced at the same path is read again. It is kept across result sets and emptied when
// a new set arrives while it holds more than kCacheLimit entries.
//
// Threads: every member runs on the main thread. Workers get copies (path, size, extension) and
// reach back only through a QPointer checked on the main thread, so a load that ends after the
// table is gone does nothing. Loads that have not started when a new set arrives never run.
#pragma once

#include "QuorvantaApp/ResultsTable/FileMeta.h"

#include <QObject>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace quorvanta::core {
class VolumeIndex;
}

namespace quorvanta::app {

class MetaRequests final : public QObject {
public:
    using Load = std::function<FileMeta(const std::string& path, std::uint64_t size, std::string_view ext)>;

    static constexpr int kThreads = 4;
    static constexpr std::size_t kCacheLimit = 20'000;

    // `loaded(row)`: the metadata of the file at `row` of the shown set has arrived.
    MetaRequests(std::function<void(std::size_t row)> loaded, QObject* parent);
    ~MetaRequests() override;

    // The metadata of `entry` of `index`, shown at `row`; none until it is loaded, and the first
    // ask for it in this result set starts the load.
    std::optional<FileMeta> meta(const core::VolumeIndex& index, std::size_t row, std::uint32_t entry);
    // A new result set: loads not yet started are dropped, results still under way will be, every
    // file may be asked for again, and a full cache is emptied.
    void reset();

    // Replaces FileMeta::load (tests).
    void setLoad(Load load) { load_ = std::move(load); }
    std::size_t cachedForTesting() const { return cache_.size(); }
    // Waits until every load of every table has ended (tests).
    static void waitForLoadsForTesting();

private:
    struct Key {
        std::string path;
        std::uint64_t size;
        std::uint32_t mtime;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };

    void arrived(std::uint64_t generation, Key key, FileMeta meta, std::size_t row);

    std::function<void(std::size_t)> loaded_;
    Load load_;
    std::unordered_map<Key, FileMeta, KeyHash> cache_;
    std::unordered_set<Key, KeyHash> requested_;
    std::uint64_t generation_ = 0;  // raised by every reset
    // Set by reset for the loads of the set before; each load looks at it before it starts.
    std::shared_ptr<std::atomic<bool>> dropped_;
};

}  // namespace quorvanta::app
