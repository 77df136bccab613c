// The audio facts of one volume's audio files, one row per entry, in parallel columns sorted by
// entry index, with the texts in a byte pool that also carries a folded copy of each. The audio
// indexer fills it in batches (`upsert`), the searcher turns audio filters into entry bit masks
// (`fill`), the duplicate finder and the results table read rows, and the table is saved beside
// the volume's snapshot (`serialize`/`deserialize`, defined in AudioTableFile.cpp).
//
// Threads: every member may be called from any thread. `lock_` guards the columns pointer and the
// interner. Readers copy the columns pointer under it (`snapshot`) and then read without it: a
// snapshot never changes. `upsert` holds the lock for the whole append or merge; it changes the
// columns in place only while no snapshot of them is alive, and copies them first otherwise.
// `version` is atomic and read without the lock.
#pragma once

#include "QuorvantaCore/audio_table/AudioMeta.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvanta::core {

class AudioTable {
public:
    // The rows. Row r of every column describes one entry; `entry` is strictly increasing.
    // Text columns hold pool offsets, 0 for no text. The pool starts with a NUL, so offset 0
    // names nothing; a stored text is its bytes, NUL, its fold (text::fold), NUL. The pool only
    // grows: replaced rows leave their texts behind.
    struct Cols {
        std::vector<std::uint32_t> entry;
        std::vector<std::uint32_t> mtime;  // the entry's modification time when its file was read
        std::vector<std::uint32_t> dur;
        std::vector<std::uint32_t> rate;
        std::vector<std::uint16_t> bitrate;
        std::vector<std::uint16_t> bpm;
        std::vector<std::uint16_t> year;
        std::vector<std::uint8_t> bits;
        std::vector<std::uint8_t> channels;
        std::vector<std::uint8_t> codec;  // raw AudioCodec value
        std::vector<std::uint8_t> flags;  // bit 0: vbr
        std::vector<std::uint32_t> artist;
        std::vector<std::uint32_t> title;
        std::vector<std::uint32_t> album;
        std::vector<std::uint32_t> genre;
        std::vector<std::uint32_t> key;
        std::string pool = std::string(1, '\0');

        std::size_t count() const { return entry.size(); }
    };

    // One row of an upsert batch. Entries outside 0..4294967295 are dropped.
    struct Row {
        std::int64_t entry = 0;
        std::uint32_t mtime = 0;
        AudioMeta meta;
    };

    static constexpr std::uint64_t kMaxPoolOffset = 0xFFFFFFFFu;

    AudioTable();
    AudioTable(const AudioTable&) = delete;
    AudioTable& operator=(const AudioTable&) = delete;

    std::size_t count() const;
    // Raised by one by every upsert that stored rows; 0 when created or loaded.
    std::uint64_t version() const { return version_.load(std::memory_order_acquire); }

    // The current columns; later upserts never change them.
    std::shared_ptr<const Cols> snapshot() const;
    // The row of entry in cols, or none.
    static std::optional<std::size_t> row(std::int64_t entry, const Cols& cols);
    // The record of one row (row < cols.count()). A codec byte above 11 reads as `other`.
    static AudioMeta meta(const Cols& cols, std::size_t row);
    std::optional<AudioMeta> meta(std::int64_t entry) const;
    // The modification time stored with the entry's row, or none.
    std::optional<std::uint32_t> analyzedMTime(std::int64_t entry) const;

    // Inserts or replaces rows: the batch is sorted by entry (stably; of an entry given twice
    // the last row counts), then appended when it starts after the last stored entry, or merged.
    void upsert(std::vector<Row> rows);

    // ORs into mask (ceil(entries / 8) bytes, bit entry % 8 of byte entry / 8) the entries below
    // `entries` whose row satisfies cond. Numbers: v != 0 and lo <= v <= hi. lossless: a known
    // codec whose losslessness equals flag. Texts: the folded needle occurs in the row's folded
    // text (an empty needle: any row with the text). codec: the folded label contains the needle.
    void fill(const AudioCond& cond, std::uint8_t* mask, std::size_t entries) const;

    // The file image (AudioFileFormat.h) stamped with storeID.
    std::vector<std::uint8_t> serialize(std::uint64_t storeID) const;
    // A table read from an image, or null when the image fails any check or carries another
    // store id. Never reads outside `image`; every offset of an accepted table names a text with
    // both of its NULs inside the pool.
    static std::unique_ptr<AudioTable> deserialize(std::span<const std::uint8_t> image, std::uint64_t storeID);

    // Tests only: the largest offset at which a new text may start (kMaxPoolOffset otherwise).
    void setPoolLimitForTesting(std::uint64_t maxOffset);

private:
    // The columns together with the count of snapshots reading them; the count tells `upsert`
    // whether it may write in place.
    struct Store {
        Cols cols;
        std::atomic<int> readers{0};
    };

    // Lets the interner be searched with a string_view.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };

    Cols& writableCols();                                                  // lock_ held
    std::uint32_t intern(std::string_view text, bool dedupe, Cols& cols);  // lock_ held
    void push(const Row& row, Cols& cols);                                 // lock_ held
    void rebuildInterner();                                                // before publication

    mutable std::mutex lock_;
    std::shared_ptr<Store> store_;  // guarded by lock_
    // Pool offset of the first stored copy of each artist, album, genre and key text (titles are
    // never shared).
    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> interner_;  // lock_
    std::uint64_t poolLimit_ = kMaxPoolOffset;                                            // guarded by lock_
    std::atomic<std::uint64_t> version_{0};
};

}  // namespace quorvanta::core
