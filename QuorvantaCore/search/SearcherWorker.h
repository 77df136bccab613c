// Searcher::Worker: applies the ops of one compiled group to entries, for one worker iteration
// (one thread) at a time. It holds what may not be shared between threads: its own compiled
// copies of the group's regular expressions and the buffers in which full paths are built and
// folded. Internal to the searcher.
#pragma once

#include "QuorvantaCore/search/PosixRegex.h"
#include "QuorvantaCore/search/Searcher.h"
#include "platform/thread/Relaxed.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvanta::core {

// The flag byte of entry e; in-place updates rewrite flags while searches read them.
inline std::uint8_t relaxedFlags(const fidx* h, std::uint32_t e) { return platform::relaxed(h->flags[e]); }

class Searcher::Worker {
public:
    Worker(const VolumeIndex& index, const OpSet& set);

    // Whether entry e passes every op of the set, tried in order; the first failing op rejects.
    bool passes(std::uint32_t e);
    // Whether e passes one op.
    bool test(const Op& op, std::uint32_t e);

private:
    // The full path of e, folded (fold = true) or as stored; valid until the next call.
    const std::string& pathOf(std::uint32_t e, bool fold);

    const VolumeIndex& index_;
    const fidx* h_;
    const OpSet& set_;
    std::vector<std::unique_ptr<PosixRegex>> regexes_;  // one per `set_.res`, same order
    std::string path_;
    std::string folded_;
};

}  // namespace quorvanta::core
