// The identity record that travels in every snapshot header: which volume and root the index was
// saved for, where its file-event replay continues, when it was saved and with which
// configuration. A plain value.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace quorvanta::core {

struct SnapshotInfo {
    std::string uuid;                                 // volume identifier the snapshot was saved under
    std::string fseUUID;                              // event-log identity at save time; "" for none
    std::string root;                                 // the indexed root path
    std::uint64_t eventID = 0;                        // file-event id a replay continues from
    std::chrono::system_clock::time_point savedAt{};  // stored as whole seconds since 1970 UTC
    std::uint64_t exclHash = 0;                       // the caller's configuration hash
    std::int64_t deleted = 0;                         // entries flagged deleted at save time
    std::uint64_t storeID = 0;                        // binds the audio side file to this snapshot
};

}  // namespace quorvanta::core
