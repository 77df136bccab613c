// Searcher: evaluates parsed queries over one VolumeIndex and gives the matching entry indexes,
// ascending. One per index; searches come on every keystroke, so a new search cancels the one in
// progress, each AND-group is compiled once into cost-ordered tests (`OpSet`), candidates come
// from the engine's substring search over contiguous ranges run in parallel, and a query that
// only lengthens a name term is answered by narrowing the previous hits.
//
// Threads: `search` and `cancel` may be called from any thread, also at once; a search started
// while another runs on the same searcher cancels the older one, which then returns none.
// `lock_` guards the current cancel token (`flag_`) and the cached result (`last_`); the
// evaluation itself runs outside it. The index must outlive
// the searcher (it holds a reference).
//
// Compiling a group (`compile`, `excludeMask`, `literalRun`, the op test) is in
// SearcherCompile.cpp; evaluation, narrowing and cancellation in Searcher.cpp.
#pragma once

#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/query/Query.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace quorvanta::core {

class Searcher {
public:
    // The kind of a compiled test.
    enum class K : std::uint8_t {
        name = 0,      // folded name contains the bytes
        nameCS = 1,    // stored name contains the bytes
        glob = 2,      // folded name (without its 0x01 fill) matches the wildcard pattern
        regex = 3,     // stored name matches the POSIX expression
        ext = 4,       // extension id marked in the 65,536-byte table
        size = 5,      // lo <= size <= hi
        date = 6,      // lo <= mtime <= hi
        pathDir = 7,   // in or below a marked folder, or the folded name contains the bytes
        pathFull = 8,  // folded full path contains the bytes
        kind = 9,      // folder (lo 1) or file (lo 0)
        junk = 10,     // junk flag set
        audio = 11,    // entry's bit set in the audio mask
        content = 12,  // full path among the content hits
    };

    // The full paths a content index gave for one content term.
    struct ContentHits {
        std::unordered_set<std::string> paths;
    };

    // One compiled test. Pointers refer into the OpSet that holds the op.
    struct Op {
        K k = K::name;
        bool neg = false;                   // the entry passes when the test fails
        std::uint64_t lo = 0;               // size/date lower bound; kind: 1 folders, 0 files
        std::uint64_t hi = 0;               // size/date upper bound, inclusive
        const std::uint8_t* p = nullptr;    // bytes (name, nameCS, glob, pathDir, pathFull); ext table
        std::size_t n = 0;                  // length of the bytes at p
        const std::uint8_t* aux = nullptr;  // folder marks (pathDir); audio bit mask (audio)
        int re = -1;                        // regex: index into the set's `res`
        const ContentHits* hits = nullptr;  // content
    };

    // A regular expression as compiled for a group: each worker compiles its own copy from it
    // (glibc serialises the users of one compiled expression).
    struct RegexSource {
        std::string pattern;
        int cflags = 0;
    };

    // Everything the ops of one group point to, owned for exactly as long as the set lives. Built
    // by `compile`, then only read, by every worker at once.
    class OpSet {
    public:
        std::vector<Op> ops;  // in evaluation order (ascending cost)
        std::vector<std::shared_ptr<const ContentHits>> keep;
        std::vector<std::vector<std::uint8_t>> bufs;
        std::vector<RegexSource> res;

        // A copy of b in a new buffer of max(1, size) bytes.
        const std::uint8_t* bytes(std::string_view b);
        // n zero bytes (at least 1) in a new buffer.
        std::uint8_t* zeroed(std::size_t n);
    };

    // The cancel token of one search: `word` goes from 0 to 1 once, under the searcher's lock.
    struct Flag {
        std::atomic<std::uint32_t> word{0};
        std::uint32_t n = 0;  // the entry count when the search started
    };

    // One contiguous range of entries, lo..hi-1.
    struct Range {
        std::uint32_t lo = 0;
        std::uint32_t hi = 0;
        bool operator==(const Range&) const = default;
    };

    explicit Searcher(std::shared_ptr<VolumeIndex> index);
    Searcher(const Searcher&) = delete;
    Searcher& operator=(const Searcher&) = delete;
    ~Searcher();

    // The ascending hits of q, or none when the search was cancelled (by `cancel` or a newer
    // search). showJunk lifts the hidden and junk exclusion.
    std::optional<std::vector<std::uint32_t>> search(const Query& q, bool showJunk);
    // Cancels the search in progress, if any; the cached result stays.
    void cancel();

    // Parallelism: the processor count at creation (at least 1); the owner may change it.
    std::atomic<int> threads;

    const std::shared_ptr<VolumeIndex>& index() const { return index_; }

    // Compiling (SearcherCompile.cpp).
    std::shared_ptr<OpSet> compile(const std::vector<Term>& group, std::uint32_t n) const;
    // Folder marks of a pathDir op: n + 1 bytes, non-zero for the folders below n whose folded
    // name, or the folded name of a folder above them, contains `value`.
    const std::uint8_t* dirHits(std::string_view value, OpSet& set, std::uint32_t n) const;
    static std::uint8_t excludeMask(const std::vector<Term>& group, bool showJunk);
    // The longest run of a wildcard pattern without "*" or "?" (the first of equal length).
    static std::string_view literalRun(std::string_view pattern);
    // The parallel ranges of a full evaluation over n entries with `threads` threads.
    static std::vector<Range> chunks(std::uint32_t n, int threads);
    // Merges two ascending lists, each id once.
    static std::vector<std::uint32_t> unite(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b);
    // Whether the hits of `old` may be narrowed to the hits of `next`.
    static bool extends(const Query& old, const Query& next);

    // Test seams. The hook is told, on the evaluating thread, when a range of a full evaluation
    // starts (`rangeStart`, with the range number) and when a search has evaluated and read its
    // cancel word as 0, just before it takes the lock to return (`evaluated`, range 0); both with
    // the search's entry count. Set it before searches start. `narrowings` counts the searches
    // answered by narrowing, `fullEvaluations` the others.
    enum class TestPoint { rangeStart, evaluated };
    void setHookForTesting(std::function<void(TestPoint, std::uint32_t n, std::size_t range)> hook);
    std::uint64_t narrowingsForTesting() const { return narrowings_.load(); }
    std::uint64_t fullEvaluationsForTesting() const { return fullEvaluations_.load(); }

private:
    class Worker;

    // The cached result of the last search that finished current with fewer than n / 8 hits,
    // with what it depended on. The audio table and content index are named by identity and
    // version, so a replaced, upserted or rewritten one forces a full evaluation.
    struct Last {
        Query q;
        bool junk = false;
        std::uint32_t n = 0;
        std::int64_t mut = 0;
        std::weak_ptr<const void> audioTable;
        std::uint64_t audio = 0;
        std::weak_ptr<const void> contentIndex;
        std::uint64_t content = 0;
        std::vector<std::uint32_t> hits;
    };
    // What the index's side tables were at the start of a search.
    struct Sources {
        std::int64_t mut = 0;
        std::shared_ptr<const void> audioTable;
        std::uint64_t audio = 0;
        std::shared_ptr<const void> contentIndex;
        std::uint64_t content = 0;
    };
    Sources currentSources() const;
    static bool sameSources(const Last& last, const Sources& now);

    // One group made ready for a full evaluation: its compiled ops, its exclusion mask, and the
    // needle whose candidates the ops then test (none: every entry the mask lets through).
    struct GroupPlan {
        std::shared_ptr<OpSet> set;
        std::uint8_t mask = 0;
        const std::uint8_t* store = nullptr;  // folded or stored names, for the needle
        const std::uint8_t* needle = nullptr;
        std::uint32_t needleLen = 0;
    };
    GroupPlan plan(const std::vector<Term>& group, bool showJunk, std::uint32_t n) const;
    // The union of the groups' hits over every entry below the flag's count, in one parallel
    // pass over the entry ranges.
    std::vector<std::uint32_t> evalGroups(const std::vector<std::vector<Term>>& groups, bool showJunk,
                                          const Flag& flag) const;
    std::vector<std::uint32_t> filter(std::span<const std::uint32_t> candidates, const std::vector<Term>& group,
                                      bool showJunk, const Flag& flag) const;
    // Runs fn(0..k-1): in parallel, or in order on this thread when `threads` is 1 or less.
    void runIterations(std::size_t k, const std::function<void(std::size_t)>& fn) const;

    const std::shared_ptr<VolumeIndex> index_;
    mutable std::mutex lock_;
    std::shared_ptr<Flag> flag_;                                       // lock_
    std::shared_ptr<const Last> last_;                                 // lock_
    std::function<void(TestPoint, std::uint32_t, std::size_t)> hook_;  // set before searches start
    std::atomic<std::uint64_t> narrowings_{0};
    std::atomic<std::uint64_t> fullEvaluations_{0};
};

}  // namespace quorvanta::core
