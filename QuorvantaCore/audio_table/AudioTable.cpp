#include "QuorvantaCore/audio_table/AudioTable.h"

#include "QuorvantaCore/text/Fold.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quorvanta::core {
namespace {

// The text stored at a pool offset, up to its first NUL; empty for offset 0. Bounded by the
// pool whatever the offset holds.
std::string_view textAt(const std::string& pool, std::uint32_t offset) {
    if (offset == 0 || offset >= pool.size()) return {};
    const std::string_view rest = std::string_view(pool).substr(offset);
    return rest.substr(0, rest.find('\0'));
}

// The folded copy that follows the text at a pool offset, up to the next NUL.
std::string_view foldedAt(const std::string& pool, std::uint32_t offset) {
    const std::string_view text = textAt(pool, offset);
    const std::size_t start = offset + text.size() + 1;
    if (offset == 0 || start >= pool.size()) return {};
    const std::string_view rest = std::string_view(pool).substr(start);
    return rest.substr(0, rest.find('\0'));
}

// Stored codec bytes above the known range read as `other`.
AudioCodec codecOfByte(std::uint8_t raw) { return audioCodecFromRawValue(raw).value_or(AudioCodec::other); }

void copyRow(const AudioTable::Cols& from, std::size_t r, AudioTable::Cols& to) {
    to.entry.push_back(from.entry[r]);
    to.mtime.push_back(from.mtime[r]);
    to.dur.push_back(from.dur[r]);
    to.rate.push_back(from.rate[r]);
    to.bitrate.push_back(from.bitrate[r]);
    to.bpm.push_back(from.bpm[r]);
    to.year.push_back(from.year[r]);
    to.bits.push_back(from.bits[r]);
    to.channels.push_back(from.channels[r]);
    to.codec.push_back(from.codec[r]);
    to.flags.push_back(from.flags[r]);
    to.artist.push_back(from.artist[r]);
    to.title.push_back(from.title[r]);
    to.album.push_back(from.album[r]);
    to.genre.push_back(from.genre[r]);
    to.key.push_back(from.key[r]);
}

}  // namespace

AudioTable::AudioTable() : store_(std::make_shared<Store>()) {}

std::size_t AudioTable::count() const {
    std::lock_guard guard(lock_);
    return store_->cols.count();
}

std::shared_ptr<const AudioTable::Cols> AudioTable::snapshot() const {
    std::shared_ptr<Store> store;
    {
        std::lock_guard guard(lock_);
        store = store_;
        store->readers.fetch_add(1, std::memory_order_relaxed);
    }
    const Cols* cols = &store->cols;
    // The release pairs with the acquire in writableCols: a writer that sees no readers also
    // sees every read they made as finished.
    return std::shared_ptr<const Cols>(
        cols, [store = std::move(store)](const Cols*) { store->readers.fetch_sub(1, std::memory_order_release); });
}

std::optional<std::size_t> AudioTable::row(std::int64_t entry, const Cols& cols) {
    if (entry < 0 || entry > 0xFFFFFFFF) return std::nullopt;
    const auto wanted = static_cast<std::uint32_t>(entry);
    const auto it = std::lower_bound(cols.entry.begin(), cols.entry.end(), wanted);
    if (it == cols.entry.end() || *it != wanted) return std::nullopt;
    return static_cast<std::size_t>(it - cols.entry.begin());
}

AudioMeta AudioTable::meta(const Cols& cols, std::size_t r) {
    AudioMeta m;
    m.durationMs = cols.dur[r];
    m.bitrateKbps = cols.bitrate[r];
    m.sampleRate = cols.rate[r];
    m.bits = cols.bits[r];
    m.channels = cols.channels[r];
    m.codec = codecOfByte(cols.codec[r]);
    m.vbr = (cols.flags[r] & 1) != 0;
    m.bpm10 = cols.bpm[r];
    m.year = cols.year[r];
    m.artist = textAt(cols.pool, cols.artist[r]);
    m.title = textAt(cols.pool, cols.title[r]);
    m.album = textAt(cols.pool, cols.album[r]);
    m.genre = textAt(cols.pool, cols.genre[r]);
    m.key = textAt(cols.pool, cols.key[r]);
    return m;
}

std::optional<AudioMeta> AudioTable::meta(std::int64_t entry) const {
    const auto cols = snapshot();
    const auto r = row(entry, *cols);
    if (!r) return std::nullopt;
    return meta(*cols, *r);
}

std::optional<std::uint32_t> AudioTable::analyzedMTime(std::int64_t entry) const {
    const auto cols = snapshot();
    const auto r = row(entry, *cols);
    if (!r) return std::nullopt;
    return cols->mtime[*r];
}

void AudioTable::setPoolLimitForTesting(std::uint64_t maxOffset) {
    std::lock_guard guard(lock_);
    poolLimit_ = std::min(maxOffset, kMaxPoolOffset);
}

AudioTable::Cols& AudioTable::writableCols() {
    if (store_->readers.load(std::memory_order_acquire) != 0) {
        auto fresh = std::make_shared<Store>();
        fresh->cols = store_->cols;
        store_ = std::move(fresh);
    }
    return store_->cols;
}

std::uint32_t AudioTable::intern(std::string_view text, bool dedupe, Cols& cols) {
    text = text.substr(0, text.find('\0'));  // the pool's NULs end a text
    if (text.empty()) return 0;
    if (dedupe) {
        const auto it = interner_.find(text);
        if (it != interner_.end()) return it->second;
    }
    // An offset must fit in 32 bits; past that a text is not stored rather than named by a
    // wrapped offset that would point at another text.
    if (cols.pool.size() > poolLimit_) return 0;
    const auto offset = static_cast<std::uint32_t>(cols.pool.size());
    cols.pool.append(text);
    cols.pool.push_back('\0');
    cols.pool.append(text::fold(text));
    cols.pool.push_back('\0');
    if (dedupe) interner_.emplace(std::string(text), offset);
    return offset;
}

void AudioTable::push(const Row& row, Cols& cols) {
    const AudioMeta& m = row.meta;
    cols.entry.push_back(static_cast<std::uint32_t>(row.entry));
    cols.mtime.push_back(row.mtime);
    cols.dur.push_back(m.durationMs);
    cols.rate.push_back(m.sampleRate);
    cols.bitrate.push_back(m.bitrateKbps);
    cols.bpm.push_back(m.bpm10);
    cols.year.push_back(m.year);
    cols.bits.push_back(m.bits);
    cols.channels.push_back(m.channels);
    cols.codec.push_back(rawValue(m.codec));
    cols.flags.push_back(m.vbr ? 1 : 0);
    cols.artist.push_back(intern(m.artist, true, cols));
    cols.title.push_back(intern(m.title, false, cols));
    cols.album.push_back(intern(m.album, true, cols));
    cols.genre.push_back(intern(m.genre, true, cols));
    cols.key.push_back(intern(m.key, true, cols));
}

void AudioTable::upsert(std::vector<Row> rows) {
    std::erase_if(rows, [](const Row& r) { return r.entry < 0 || r.entry > 0xFFFFFFFF; });
    if (rows.empty()) return;
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.entry < b.entry; });
    // Of an entry given twice, the last row wins; storing both would break the strictly
    // increasing entry column that lookups and the file rely on.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i + 1 < rows.size() && rows[i + 1].entry == rows[i].entry) continue;
        if (kept != i) rows[kept] = std::move(rows[i]);
        ++kept;
    }
    rows.resize(kept);

    std::lock_guard guard(lock_);
    const Cols& current = store_->cols;
    if (current.count() == 0 || rows.front().entry > current.entry.back()) {
        Cols& cols = writableCols();
        for (const Row& row : rows) push(row, cols);
    } else {
        // Merge into new columns that keep the pool, so the offsets of copied rows (and the
        // interner) stay valid.
        const bool shared = store_->readers.load(std::memory_order_acquire) != 0;
        Cols& old = store_->cols;
        Cols merged;
        merged.pool = shared ? old.pool : std::move(old.pool);
        const std::size_t oldCount = old.count();
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < oldCount || j < rows.size()) {
            if (j == rows.size() || (i < oldCount && old.entry[i] < rows[j].entry)) {
                copyRow(old, i++, merged);
            } else {
                if (i < oldCount && old.entry[i] == rows[j].entry) ++i;  // the new facts win
                push(rows[j++], merged);
            }
        }
        if (shared) store_ = std::make_shared<Store>();
        store_->cols = std::move(merged);
    }
    version_.fetch_add(1, std::memory_order_release);
}

void AudioTable::fill(const AudioCond& cond, std::uint8_t* mask, std::size_t entries) const {
    const auto snap = snapshot();
    const Cols& cols = *snap;
    const std::size_t n = cols.count();
    auto mark = [&](std::size_t r) {
        const std::uint32_t e = cols.entry[r];
        if (e < entries) mask[e >> 3] |= static_cast<std::uint8_t>(1u << (e & 7));
    };
    auto inRange = [&](const auto& column) {
        for (std::size_t r = 0; r < n; ++r) {
            const auto v = static_cast<std::int64_t>(column[r]);
            if (v != 0 && cond.lo <= v && v <= cond.hi) mark(r);
        }
    };
    auto textContains = [&](const std::vector<std::uint32_t>& column) {
        const std::string needle = text::fold(cond.text);
        for (std::size_t r = 0; r < n; ++r) {
            const std::uint32_t offset = column[r];
            if (offset == 0) continue;
            if (needle.empty() || foldedAt(cols.pool, offset).find(needle) != std::string_view::npos) mark(r);
        }
    };

    using Field = AudioCond::Field;
    switch (cond.field) {
        case Field::bitrate:
            inRange(cols.bitrate);
            break;
        case Field::bpm:
            inRange(cols.bpm);
            break;
        case Field::dur:
            inRange(cols.dur);
            break;
        case Field::year:
            inRange(cols.year);
            break;
        case Field::rate:
            inRange(cols.rate);
            break;
        case Field::bits:
            inRange(cols.bits);
            break;
        case Field::channels:
            inRange(cols.channels);
            break;
        case Field::lossless:
            for (std::size_t r = 0; r < n; ++r)
                if (cols.codec[r] != 0 && lossless(codecOfByte(cols.codec[r])) == cond.flag) mark(r);
            break;
        case Field::artist:
            textContains(cols.artist);
            break;
        case Field::title:
            textContains(cols.title);
            break;
        case Field::album:
            textContains(cols.album);
            break;
        case Field::genre:
            textContains(cols.genre);
            break;
        case Field::key:
            textContains(cols.key);
            break;
        case Field::codec: {
            static const auto foldedLabels = [] {
                std::array<std::string, kAllAudioCodecs.size()> labels;
                for (AudioCodec codec : kAllAudioCodecs) labels[rawValue(codec)] = text::fold(label(codec));
                return labels;
            }();
            const std::string needle = text::fold(cond.text);
            bool selected[kAllAudioCodecs.size()] = {};
            for (AudioCodec codec : kAllAudioCodecs)
                selected[rawValue(codec)] = foldedLabels[rawValue(codec)].find(needle) != std::string::npos;
            for (std::size_t r = 0; r < n; ++r)
                if (selected[rawValue(codecOfByte(cols.codec[r]))]) mark(r);
            break;
        }
    }
}

void AudioTable::rebuildInterner() {
    const Cols& cols = store_->cols;
    for (std::size_t r = 0; r < cols.count(); ++r) {
        for (const auto* column : {&cols.artist, &cols.album, &cols.genre, &cols.key}) {
            const std::uint32_t offset = (*column)[r];
            const std::string_view text = textAt(cols.pool, offset);
            if (!text.empty()) interner_.try_emplace(std::string(text), offset);  // first wins
        }
    }
}

}  // namespace quorvanta::core
