// Fills in AudioTable.h: the table's file image; the layout is in AudioFileFormat.h.
#include "QuorvantaCore/audio_table/AudioFileFormat.h"

#include "QuorvantaCore/audio_table/AudioTable.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

namespace quorvanta::core {
namespace {

using namespace audio_file;

template <class T>
void putLE(std::vector<std::uint8_t>& out, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i)));
}

template <class T>
void putColumn(std::vector<std::uint8_t>& out, const std::vector<T>& column) {
    for (T value : column) putLE(out, value);
}

template <class T>
T getLE(const std::uint8_t* p) {
    std::make_unsigned_t<T> value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value = static_cast<decltype(value)>(value | (static_cast<std::uint64_t>(p[i]) << (8 * i)));
    return static_cast<T>(value);
}

// Reads R elements at *at (columns sit at odd offsets, hence memcpy) and moves *at past them.
template <class T>
void getColumn(const std::uint8_t*& at, std::size_t rows, std::vector<T>& column) {
    column.resize(rows);
    if (rows != 0) std::memcpy(column.data(), at, rows * sizeof(T));
    if constexpr (std::endian::native == std::endian::big && sizeof(T) > 1)
        for (T& value : column) value = getLE<T>(reinterpret_cast<const std::uint8_t*>(&value));
    at += rows * sizeof(T);
}

// Every non-zero offset must name a text followed by its folded copy, both NUL-terminated inside
// the pool: the first NUL at or after the offset must not be the pool's last byte, so the offset
// may not lie past the last NUL but one.
bool offsetsInsidePool(const AudioTable::Cols& cols) {
    const std::string& pool = cols.pool;
    const std::size_t secondLastNul = pool.size() >= 2 ? pool.find_last_of('\0', pool.size() - 2) : std::string::npos;
    for (const auto* column : {&cols.artist, &cols.title, &cols.album, &cols.genre, &cols.key}) {
        for (std::uint32_t offset : *column) {
            if (offset == 0) continue;
            if (secondLastNul == std::string::npos || offset > secondLastNul) return false;
        }
    }
    return true;
}

}  // namespace

std::vector<std::uint8_t> AudioTable::serialize(std::uint64_t storeID) const {
    const auto snap = snapshot();
    const Cols& cols = *snap;
    const std::size_t rows = cols.count();
    std::vector<std::uint8_t> out;
    out.reserve(kHeaderBytes + kRowBytes * rows + cols.pool.size());
    out.insert(out.end(), kMagic.begin(), kMagic.end());
    putLE(out, storeID);
    putLE(out, static_cast<std::uint64_t>(rows));
    putLE(out, static_cast<std::uint64_t>(cols.pool.size()));
    putColumn(out, cols.entry);
    putColumn(out, cols.mtime);
    putColumn(out, cols.dur);
    putColumn(out, cols.rate);
    putColumn(out, cols.bitrate);
    putColumn(out, cols.bpm);
    putColumn(out, cols.year);
    putColumn(out, cols.bits);
    putColumn(out, cols.channels);
    putColumn(out, cols.codec);
    putColumn(out, cols.flags);
    putColumn(out, cols.artist);
    putColumn(out, cols.title);
    putColumn(out, cols.album);
    putColumn(out, cols.genre);
    putColumn(out, cols.key);
    out.insert(out.end(), cols.pool.begin(), cols.pool.end());
    return out;
}

std::unique_ptr<AudioTable> AudioTable::deserialize(std::span<const std::uint8_t> image, std::uint64_t storeID) {
    if (image.size() < kHeaderBytes) return nullptr;
    if (!std::equal(kMagic.begin(), kMagic.end(), image.begin())) return nullptr;
    if (getLE<std::uint64_t>(image.data() + kStoreIDOffset) != storeID) return nullptr;
    const auto rows64 = getLE<std::uint64_t>(image.data() + kRowCountOffset);
    const auto poolSize64 = getLE<std::uint64_t>(image.data() + kPoolSizeOffset);
    std::uint64_t rowBytes = 0;
    std::uint64_t expected = 0;
    if (__builtin_mul_overflow(rows64, std::uint64_t{kRowBytes}, &rowBytes) ||
        __builtin_add_overflow(rowBytes, std::uint64_t{kHeaderBytes}, &expected) ||
        __builtin_add_overflow(expected, poolSize64, &expected))
        return nullptr;
    if (poolSize64 == 0) return nullptr;
    if (image.size() != expected) return nullptr;  // so R and P fit what is really there

    const auto rows = static_cast<std::size_t>(rows64);
    const auto poolSize = static_cast<std::size_t>(poolSize64);
    auto table = std::make_unique<AudioTable>();
    Cols& cols = table->store_->cols;
    const std::uint8_t* at = image.data() + kHeaderBytes;
    getColumn(at, rows, cols.entry);
    getColumn(at, rows, cols.mtime);
    getColumn(at, rows, cols.dur);
    getColumn(at, rows, cols.rate);
    getColumn(at, rows, cols.bitrate);
    getColumn(at, rows, cols.bpm);
    getColumn(at, rows, cols.year);
    getColumn(at, rows, cols.bits);
    getColumn(at, rows, cols.channels);
    getColumn(at, rows, cols.codec);
    getColumn(at, rows, cols.flags);
    getColumn(at, rows, cols.artist);
    getColumn(at, rows, cols.title);
    getColumn(at, rows, cols.album);
    getColumn(at, rows, cols.genre);
    getColumn(at, rows, cols.key);
    cols.pool.assign(reinterpret_cast<const char*>(at), poolSize);

    if (cols.pool.back() != '\0') return nullptr;
    for (std::size_t r = 1; r < rows; ++r)
        if (cols.entry[r] <= cols.entry[r - 1]) return nullptr;
    // Every writer puts a NUL first (offset 0 names no text) and only offsets of whole texts;
    // an image without them would make readers run past the pool.
    if (cols.pool.front() != '\0') return nullptr;
    if (!offsetsInsidePool(cols)) return nullptr;

    table->rebuildInterner();
    return table;
}

}  // namespace quorvanta::core
