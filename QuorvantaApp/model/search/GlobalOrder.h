// GlobalOrder: every entry of every volume's name permutation, merged once into one name order
// across all volumes and kept as row keys (position in `storeIDs` << 32 | entry index). A
// name-ordered search over exactly these volumes marks its hits and walks the rows
// (`mergeGlobal`) instead of comparing names. Entries appended after the build (index at or past
// the volume's `ks`) are outside the order.
//
// An order is created by `build` (rows in memory) or read from "global.ord" (`load`, rows in a
// read-only private mapping of the file; GlobalOrderFormat.h) and never changes afterwards. It is
// shared through std::shared_ptr; a replaced order stays readable, its mapping included, for as
// long as a search still holds it.
//
// Threads: `build` and `persisted` belong off the main thread (they sort and write); everything
// else only reads and is safe from any thread. `build` asks each index for its name permutation,
// building one where none is usable.
//
// Errors: none are thrown. A file that cannot be read or fails a check gives no order; a failed
// save leaves the order in memory.
#pragma once

#include "QuorvantaApp/model/search/CrossVolumeMerge.h"
#include "QuorvantaApp/model/search/RowKey.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace quorvanta::app {

class GlobalOrder : public std::enable_shared_from_this<GlobalOrder> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // A whole file mapped read-only; unmapped when the order holding it goes.
    struct Mapping {
        const unsigned char* base = nullptr;
        std::size_t bytes = 0;
    };

    GlobalOrder(Passkey, std::vector<std::uint64_t> storeIDs, std::vector<std::uint64_t> ks, std::vector<RowKey> array);
    GlobalOrder(Passkey, std::vector<std::uint64_t> storeIDs, std::vector<std::uint64_t> ks, Mapping data);
    GlobalOrder(const GlobalOrder&) = delete;
    GlobalOrder& operator=(const GlobalOrder&) = delete;
    ~GlobalOrder();

    // The order of the indexes' name permutations (taken with the counts they cover), merged by
    // `VolumeIndex::less` with ties to the lower position: folded name, then position, then
    // entry index. Rows in memory.
    static std::shared_ptr<const GlobalOrder> build(IndexList indexes);

    // A file-backed copy after writing the order to the data directory's "global.ord" (or to
    // `path`) atomically with owner-only permissions; this order itself when it is file-backed
    // already, has a volume count `load` refuses (none, or more than 63: nothing is written
    // then), or when the write or the mapping of the written file fails.
    std::shared_ptr<const GlobalOrder> persisted() const;
    std::shared_ptr<const GlobalOrder> persisted(const std::filesystem::path& path) const;

    // The order saved in the data directory's "global.ord" (or at `path`), or none when the file
    // is missing, unreadable or fails a check of GlobalOrderFormat.h. Whether it serves the
    // current volumes is for `matches` to say.
    static std::shared_ptr<const GlobalOrder> load();
    static std::shared_ptr<const GlobalOrder> load(const std::filesystem::path& path);

    // The data directory's "global.ord"; empty when there is no data directory.
    static std::filesystem::path defaultPath();

    // True when there is one index per stored volume, each with the stored store id and at least
    // the stored covered count of entries. Stops at the first difference.
    bool matches(IndexList indexes) const;
    // The entries of the indexes past their covered counts: for the indexes the order matches,
    // those outside it. An index below its covered count adds 0, one past the stored volumes all.
    std::uint64_t tail(IndexList indexes) const;

    // Calls `body` once with the rows, from memory or from the mapped file; gives its result.
    template <class Body>
    decltype(auto) withRows(Body&& body) const {
        return std::forward<Body>(body)(rows());
    }

    const std::vector<std::uint64_t>& storeIDs() const { return storeIDs_; }
    const std::vector<std::uint64_t>& ks() const { return ks_; }
    bool isFileBacked() const { return data_.base != nullptr; }

private:
    std::span<const RowKey> rows() const;

    const std::vector<std::uint64_t> storeIDs_;
    const std::vector<std::uint64_t> ks_;  // per volume, entries below this are in the rows
    const std::vector<RowKey> array_;      // the rows, when in memory
    const Mapping data_;                   // the whole file, when file-backed; rows from kRowsOffset
};

}  // namespace quorvanta::app
