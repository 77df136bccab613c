// The example searches of the empty state and how their chips are arranged. The examples are
// query texts shown and used as they stand, never translated. Their chips take the first
// arrangement that fits the width they are given: all six in one row, else two rows of three
// (also when even those do not fit: there is no third arrangement).
//
// Threads: pure functions; any thread.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace quorvanta::app {

inline constexpr std::array<std::string_view, 6> kExampleQueries{
    "bpm:120..128 ext:mp3", "ext:flac", "size:>100mb", "dm:today", "ext:pdf invoice", "remix | bootleg",
};

enum class ExampleArrangement { oneRow, threeAndThree };

// How many chips the first row of `arrangement` holds when there are `count` chips.
constexpr std::size_t firstRowCount(ExampleArrangement arrangement, std::size_t count) {
    return arrangement == ExampleArrangement::oneRow ? count : (count + 1) / 2;
}

// The width of chips of `widths` side by side, `spacing` apart.
int rowWidth(std::span<const int> widths, int spacing);

// One row when the chips of `widths` side by side, `spacing` apart, fit in `available`; else
// three and three.
ExampleArrangement exampleArrangement(std::span<const int> widths, int spacing, int available);

}  // namespace quorvanta::app
