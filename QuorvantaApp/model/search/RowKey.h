// Row keys: one hit across volumes as an unsigned 64-bit number, the volume's position in the high
// 32 bits and the entry index in the low 32. Result sets, the cross-volume merge and the rows of
// the global order file all use this packing; what the position counts (the searched volumes, or
// the order's volumes) is up to the list that holds the keys.
#pragma once

#include <cstdint>

namespace quorvanta::app {

using RowKey = std::uint64_t;

constexpr RowKey rowKey(std::uint32_t position, std::uint32_t entry) { return RowKey(position) << 32 | entry; }
constexpr std::uint32_t rowPosition(RowKey row) { return static_cast<std::uint32_t>(row >> 32); }
constexpr std::uint32_t rowEntry(RowKey row) { return static_cast<std::uint32_t>(row); }

}  // namespace quorvanta::app
