// The properties every Traktor collection text must keep, shared by the fuzz harness and the
// unit test's seeded mutations. Any bytes are read without a fault, and:
// - the locations do not depend on how the bytes are cut into chunks;
// - a document cut short gives a prefix of the whole document's locations (what was read before
//   a break stands, nothing is made up).
#pragma once

#include "QuorvantaCore/dj/NMLReader.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::fuzz {

struct NMLRecord {
    std::string dir, file, volume;
    bool operator==(const NMLRecord&) const = default;
};

struct NMLResult {
    std::vector<NMLRecord> locations;
    bool complete = false;
};

// Reads the bytes in chunks of the given sizes (cycled), the last chunk marked as the end.
inline NMLResult readNML(std::string_view bytes, const std::vector<std::size_t>& chunkSizes) {
    NMLResult result;
    core::dj::NMLReader reader([&](const core::dj::NMLLocation& l) {
        result.locations.push_back({std::string(l.dir), std::string(l.file), std::string(l.volume)});
    });
    if (bytes.empty()) {
        result.complete = reader.feed({}, true);
        return result;
    }
    std::size_t next = 0;
    bool ok = true;
    while (ok && !bytes.empty()) {
        const std::size_t n = std::min(bytes.size(), chunkSizes[next++ % chunkSizes.size()]);
        ok = reader.feed(bytes.substr(0, n), n == bytes.size());
        bytes.remove_prefix(n);
    }
    result.complete = ok;
    return result;
}

inline bool nmlReadIsConsistent(std::string_view bytes) {
    const NMLResult whole = readNML(bytes, {bytes.size() + 1});

    // Chunk sizes taken from the bytes themselves, so each input is cut its own way.
    std::vector<std::size_t> sizes;
    for (std::size_t i = 0; i < 8 && i < bytes.size(); ++i)
        sizes.push_back(1 + static_cast<unsigned char>(bytes[i]) % 97);
    if (sizes.empty()) sizes.push_back(1);
    const NMLResult chunked = readNML(bytes, sizes);
    if (chunked.locations != whole.locations || chunked.complete != whole.complete) return false;

    const std::size_t cut = bytes.empty() ? 0 : static_cast<unsigned char>(bytes.back()) * bytes.size() / 256;
    const NMLResult shortened = readNML(bytes.substr(0, cut), {cut + 1});
    if (shortened.locations.size() > whole.locations.size()) return false;
    for (std::size_t i = 0; i < shortened.locations.size(); ++i)
        if (!(shortened.locations[i] == whole.locations[i])) return false;
    return true;
}

}  // namespace quorvanta::fuzz
