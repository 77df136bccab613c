// The event journal file: what a recorded event source replays. Little-endian throughout.
//
//   offset  size  field
//   0       8     magic "QRVTJRN1"
//   8       4     u32 length L of the event-log identity (at most kMaxIdentityBytes)
//   12      L     the identity's bytes
//   12+L    ...   records, back to back, to the end of the file:
//                   u64 id      strictly growing from record to record
//                   u32 flags   the FileEvent flag bits
//                   u32 length  of the path (at most kMaxPathBytes)
//                   length bytes: the path, raw (any bytes but NUL)
//
// The file is untrusted input: a truncated file, a wrong magic, a length past the end, an
// over-long field, a NUL in a path or ids that do not grow are refused whole.
#pragma once

#include "platform/events/EventSource.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::platform {

inline constexpr char kJournalMagic[8] = {'Q', 'R', 'V', 'T', 'J', 'R', 'N', '1'};
inline constexpr std::uint32_t kMaxIdentityBytes = 256;
inline constexpr std::uint32_t kMaxPathBytes = 65536;
inline constexpr std::size_t kJournalHeaderBytes = 12;
inline constexpr std::size_t kJournalRecordHeaderBytes = 16;

struct Journal {
    std::string identity;
    std::vector<FileEvent> events;

    friend bool operator==(const Journal&, const Journal&) = default;
};

// The journal in `bytes`, or none when anything about it is wrong.
std::optional<Journal> parseJournal(std::string_view bytes);
// The header of a journal with this identity (cut to kMaxIdentityBytes).
std::string journalHeader(std::string_view identity);
// One record; a path longer than kMaxPathBytes or holding a NUL gives "" (not recordable).
std::string journalRecord(const FileEvent& event);
// The whole file of a journal.
std::string journalBytes(const Journal& journal);

}  // namespace quorvanta::platform
