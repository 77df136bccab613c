// Searcher::Worker: applies the ops of one compiled group to entries, for one worker iteration
// (one thread) at a time. It holds what may not be shared between threads: its own compiled
// copies of the group's regular expressions and the buffers in which full paths are built and
// folded. Internal to the searcher.
#pragma once

#include "QuorvantaCore/search/PosixRegex.h"
#include "QuorvantaCore/search/Searcher.h"
#include "platform/thread/Relaxed.h"

#include <atomic>
#include <cstddef>
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

    // Keeps, in their order, the ids among ids[0..count) that pass every op of the set, moved to
    // the front; gives how many. Ops run one after the other over blocks of ids, cheapest first,
    // each on what the ones before kept. Once the cancel word is set it stops early, giving a
    // count that means nothing.
    std::size_t keepPassing(std::uint32_t* ids, std::size_t count, const std::atomic<std::uint32_t>& cancel);

private:
    static constexpr std::size_t kBlock = 4096;
    // A span of names is searched at about a nanosecond a name, while one candidate's name read
    // alone costs tens of nanoseconds when it is not in cache: the span search pays while the
    // span holds at most this many entries per candidate.
    static constexpr std::size_t kSpanShare = 16;

    // keepPassing for one op and one block.
    std::size_t keep(const Op& op, std::uint32_t* ids, std::size_t count);
    // When the ascending ids cover a span of entries at most kSpanShare times their number, the
    // entries of that span whose name in `store` contains the op's bytes, found with the engine's
    // search (which reads a span of names faster than names one by one), into `spanHits_`; false
    // (nothing searched) otherwise.
    bool searchSpan(const std::uint8_t* store, const Op& op, const std::uint32_t* ids, std::size_t count);
    // Whether e is among `spanHits_`, for ascending e: `j` moves forward through them.
    bool inSpanHits(std::uint32_t e, std::size_t& j) const;
    // Whether the name of e in `store` (folded or as stored) contains the op's bytes.
    bool nameHas(const std::uint8_t* store, const Op& op, std::uint32_t e) const;
    // Whether the folded name of e, without its fill, matches the op's wildcard pattern.
    bool globMatches(const Op& op, std::uint32_t e) const;
    // The full path of e, folded (fold = true) or as stored; valid until the next call.
    const std::string& pathOf(std::uint32_t e, bool fold);

    const VolumeIndex& index_;
    const fidx* h_;
    const OpSet& set_;
    std::vector<std::unique_ptr<PosixRegex>> regexes_;  // one per `set_.res`, same order
    std::vector<fidx_glob> globs_;                      // one per op of `set_`, compiled for its glob ops
    std::string path_;
    std::string folded_;
    std::unique_ptr<std::uint32_t[]> spanHits_;  // room for spanRoom_ ids, the first spanCount_ found
    std::size_t spanRoom_ = 0;
    std::size_t spanCount_ = 0;
    std::vector<std::uint32_t> unmarked_;  // pathDir: the ids of a block outside the marked folders
};

}  // namespace quorvanta::core
