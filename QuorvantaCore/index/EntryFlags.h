// The flag byte of an index entry as a small option set. The raw value keeps every bit the
// engine stores (the non-ASCII bit 32 included); the named members are the ones callers test.
#pragma once

#include "QuorvantaCore/index_engine/fidx.h"

#include <cstdint>

namespace quorvanta::core {

struct EntryFlags {
    std::uint8_t rawValue = 0;

    static const EntryFlags dir;      // a folder
    static const EntryFlags hidden;   // a name starting with ".", or inside a hidden folder
    static const EntryFlags symlink;  // a symbolic link, never followed
    static const EntryFlags junk;     // system junk, or inside a junk folder
    static const EntryFlags root;     // a scan root; its name is the full root path
    static const EntryFlags deleted;  // gone from the file system; the slot stays

    // Whether every bit of `other` is set.
    constexpr bool contains(EntryFlags other) const { return (rawValue & other.rawValue) == other.rawValue; }

    friend constexpr EntryFlags operator|(EntryFlags a, EntryFlags b) {
        return EntryFlags{static_cast<std::uint8_t>(a.rawValue | b.rawValue)};
    }
    friend constexpr bool operator==(EntryFlags, EntryFlags) = default;
};

inline constexpr EntryFlags EntryFlags::dir{FIDX_FOLDER};
inline constexpr EntryFlags EntryFlags::hidden{FIDX_HIDDEN};
inline constexpr EntryFlags EntryFlags::symlink{FIDX_SYMLINK};
inline constexpr EntryFlags EntryFlags::junk{FIDX_JUNK};
inline constexpr EntryFlags EntryFlags::root{FIDX_ROOT};
inline constexpr EntryFlags EntryFlags::deleted{FIDX_DELETED};

}  // namespace quorvanta::core
