// The texts of the search window's bottom line, built from plain values so that their rules are
// checked without widgets: the summary on the left (the query error, the entries indexed, or the
// hits and the search time), and for each volume chip its state and its tooltip. The views fill
// the values from the application model (`summaryFacts`, `chipFacts`) and show what comes back.
//
// Every English text goes through core::tr in the interface language; entry counts are grouped by
// the interface language's locale (Format::count) and inserted as texts, while the hit count is
// inserted as a plain whole number, without grouping.
//
// Threads: the builders are pure and may run anywhere (tr reads the shared language under its
// lock); summaryFacts and chipFacts read published fields and belong to the main thread.
#pragma once

#include "QuorvantaCore/query/Calendar.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::app {

class AppModel;
class VolumeState;

// What the summary is built from.
struct SummaryFacts {
    std::optional<std::string> queryError;
    bool showsEmptyState = false;
    std::int64_t totalEntries = 0;  // `count` summed over every volume, hidden and offline ones too
    std::int64_t hits = 0;          // the rows of the current result
    double searchMs = 0;
};

struct Summary {
    std::string text;
    bool isError = false;  // drawn in red
};

SummaryFacts summaryFacts(const AppModel& model);
// The first that applies: "Invalid search: <message>"; the total with " entries indexed" in the
// empty state; else the hits, " hits · " and the search time with one fraction digit and " ms".
Summary statusSummary(const SummaryFacts& facts);

// What a volume chip is built from.
struct ChipFacts {
    std::string name;
    std::string root;
    bool isInternal = false;
    bool offline = false;
    bool scanning = false;
    bool updating = false;
    bool audioRunning = false;
    std::int64_t count = 0;
    std::int64_t audioDone = 0;
    std::int64_t audioTotal = 0;
    double seconds = 0;
    std::optional<std::string> failure;
    std::optional<std::chrono::system_clock::time_point> catalogDate;
};

ChipFacts chipFacts(const VolumeState& volume);

// The state a chip shows after the volume's name, the first that applies, in this order.
enum class ChipStateKind { offline, failure, scanning, updating, audio, idle };

struct ChipState {
    ChipStateKind kind = ChipStateKind::idle;
    std::string text;

    // A spinner stands before the text (scanning, updating, audio).
    bool spins() const;
    // The green check mark stands before the text (idle).
    bool checked() const { return kind == ChipStateKind::idle; }
};

ChipState chipState(const ChipFacts& facts);

// The drive's glyph: "externaldrive.badge.xmark" offline, "internaldrive" for the system disk,
// else "externaldrive".
std::string_view driveGlyph(const ChipFacts& facts);

// Two paragraphs separated by a blank line: the volume's state by the chip's order without the
// failure and audio cases, then the fixed hint that a click hides or shows the drive. The
// catalog's date is written in `calendar`'s zone with the interface language's abbreviated date
// and short time, or "?" without a date.
std::string chipTooltip(const ChipFacts& facts, const core::Calendar& calendar = core::Calendar::current());

}  // namespace quorvanta::app
