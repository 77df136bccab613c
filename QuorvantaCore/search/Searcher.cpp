// Evaluation of a query over one volume index: the cancel token of each search, the parallel
// ranges with the engine's substring search as a prefilter, narrowing of the previous hits, and
// the cached result.
#include "QuorvantaCore/search/Searcher.h"

#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/content/ContentIndex.h"
#include "QuorvantaCore/search/HitBuffer.h"
#include "QuorvantaCore/search/SearcherWorker.h"
#include "platform/dispatch/ParallelFor.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>
#include <utility>

namespace quorvanta::core {
namespace {

// Entries of a range searched at a time in a full evaluation: their names (about 100 KB for
// typical names) stay in the core's cache while the ops test the candidates found in them.
constexpr std::uint32_t kStepEntries = 4096;

// Whether any of the n bytes is not 0.
bool anyNonZero(const std::uint8_t* bytes, std::size_t n) {
    std::uint64_t any = 0;
    std::size_t i = 0;
    for (std::uint64_t word; i + sizeof word <= n; i += sizeof word) {
        std::memcpy(&word, bytes + i, sizeof word);
        any |= word;
    }
    for (; i < n; ++i) any |= bytes[i];
    return any != 0;
}

bool cancelled(const Searcher::Flag& flag) { return flag.word.load(std::memory_order_relaxed) != 0; }

std::vector<std::uint32_t> concatenated(const std::vector<std::vector<std::uint32_t>>& lists) {
    std::size_t total = 0;
    for (const auto& list : lists) total += list.size();
    std::vector<std::uint32_t> out;
    out.reserve(total);
    for (const auto& list : lists) out.insert(out.end(), list.begin(), list.end());
    return out;
}

// The bytes a name term searches: folded unless the term is case-sensitive. None for a term that
// cannot be narrowed from (negated, or not a name term).
std::optional<std::string> narrowableNeedle(const Term& term) {
    if (term.neg) return std::nullopt;
    const auto* name = std::get_if<Pred::Name>(&term.pred.value);
    if (!name) return std::nullopt;
    return term.caseSensitive ? name->text : VolumeIndex::fold(name->text);
}

// Whether every name containing the needle of `next` contains the needle of `old`.
bool narrows(const Term& old, const Term& next) {
    if (old.caseSensitive != next.caseSensitive) return false;
    const std::optional<std::string> a = narrowableNeedle(old);
    const std::optional<std::string> b = narrowableNeedle(next);
    return a && b && !a->empty() && b->find(*a) != std::string::npos;
}

}  // namespace

Searcher::Searcher(std::shared_ptr<VolumeIndex> index)
    : threads(std::max(1, static_cast<int>(std::thread::hardware_concurrency()))),
      index_(std::move(index)),
      flag_(std::make_shared<Flag>()) {}

Searcher::~Searcher() = default;

void Searcher::cancel() {
    std::lock_guard guard(lock_);
    flag_->word.store(1, std::memory_order_relaxed);
}

void Searcher::setHookForTesting(std::function<void(TestPoint, std::uint32_t, std::size_t)> hook) {
    hook_ = std::move(hook);
}

Searcher::Sources Searcher::currentSources() const {
    Sources now;
    now.mut = index_->mutations();
    if (std::shared_ptr<AudioTable> audio = index_->audio()) {
        now.audio = audio->version();
        now.audioTable = std::move(audio);
    }
    if (std::shared_ptr<ContentIndex> content = index_->content()) {
        now.content = content->generation();
        now.contentIndex = std::move(content);
    }
    return now;
}

bool Searcher::sameSources(const Last& last, const Sources& now) {
    auto same = [](const std::weak_ptr<const void>& a, const std::shared_ptr<const void>& b) {
        return !a.owner_before(b) && !b.owner_before(a);
    };
    return last.mut == now.mut && same(last.audioTable, now.audioTable) && last.audio == now.audio &&
           same(last.contentIndex, now.contentIndex) && last.content == now.content;
}

std::optional<std::vector<std::uint32_t>> Searcher::search(const Query& q, bool showJunk) {
    std::shared_ptr<Flag> flag = std::make_shared<Flag>();
    std::shared_ptr<const Last> last;
    {
        std::lock_guard guard(lock_);
        flag_->word.store(1, std::memory_order_relaxed);
        flag->n = fidx_count(index_->s());
        flag_ = flag;
        last = last_;
    }
    const std::uint32_t n = flag->n;
    const Sources sources = currentSources();

    std::vector<std::uint32_t> result;
    if (last && last->junk == showJunk && last->n == n && sameSources(*last, sources) && extends(last->q, q) &&
        last->hits.size() < n / 8) {
        result = filter(last->hits, q.groups.front(), showJunk, *flag);
        narrowings_.fetch_add(1, std::memory_order_relaxed);
    } else {
        // A query without groups is one empty group: every entry the exclusion mask lets through.
        result = evalGroups(q.groups.empty() ? std::vector<std::vector<Term>>(1) : q.groups, showJunk, *flag);
        fullEvaluations_.fetch_add(1, std::memory_order_relaxed);
    }
    if (cancelled(*flag)) return std::nullopt;
    if (hook_) hook_(TestPoint::evaluated, n, 0);

    std::lock_guard guard(lock_);
    if (flag_ != flag) return result;  // superseded after finishing: the newer search owns the cache
    if (result.size() >= n / 8) {
        last_.reset();
    } else {
        auto record = std::make_shared<Last>();
        record->q = q;
        record->junk = showJunk;
        record->n = n;
        record->mut = sources.mut;
        record->audioTable = sources.audioTable;
        record->audio = sources.audio;
        record->contentIndex = sources.contentIndex;
        record->content = sources.content;
        record->hits = result;
        last_ = std::move(record);
    }
    return result;
}

void Searcher::runIterations(std::size_t k, const std::function<void(std::size_t)>& fn) const {
    if (threads.load(std::memory_order_relaxed) <= 1) {
        for (std::size_t i = 0; i < k; ++i) fn(i);
    } else {
        platform::parallelFor(k, fn);
    }
}

Searcher::GroupPlan Searcher::plan(const std::vector<Term>& group, bool showJunk, std::uint32_t n) const {
    GroupPlan plan;
    plan.set = compile(group, n);
    plan.mask = excludeMask(group, showJunk);
    const fidx* h = index_->s();
    std::vector<Op>& ops = plan.set->ops;

    // A folder op that marks no folder passes the entries whose own folded name holds its bytes,
    // as a name op does: as one it can be the needle, and its blocks skip the folder test.
    for (Op& op : ops)
        if (op.k == K::pathDir && !anyNonZero(op.aux, std::size_t(n) + 1)) op.k = K::name;

    // The needle: the longest plain name term (the first of equal length), which most likely
    // has the fewest candidates; it leaves the ops. Failing one, the literal run of the first
    // plain wildcard term (which stays an op). An empty needle would find nothing, so such a term
    // is never chosen; as an op it passes every entry.
    plan.store = h->folded;
    auto longest = ops.end();
    for (auto it = ops.begin(); it != ops.end(); ++it)
        if (!it->neg && (it->k == K::name || it->k == K::nameCS) && it->n > (longest == ops.end() ? 0 : longest->n))
            longest = it;
    if (longest != ops.end()) {
        plan.needle = longest->p;
        plan.needleLen = static_cast<std::uint32_t>(longest->n);
        plan.store = longest->k == K::name ? h->folded : h->names;
        ops.erase(longest);
        return plan;
    }
    for (const Op& op : ops) {
        if (op.neg || op.k != K::glob) continue;
        const std::string_view run = literalRun({reinterpret_cast<const char*>(op.p), op.n});
        if (!run.empty()) {
            plan.needle = reinterpret_cast<const std::uint8_t*>(run.data());
            plan.needleLen = static_cast<std::uint32_t>(run.size());
        }
        break;
    }
    return plan;
}

std::vector<std::uint32_t> Searcher::evalGroups(const std::vector<std::vector<Term>>& groups, bool showJunk,
                                                const Flag& flag) const {
    const std::uint32_t n = flag.n;
    const fidx* h = index_->s();
    std::vector<GroupPlan> plans;
    plans.reserve(groups.size());
    for (const std::vector<Term>& group : groups) plans.push_back(plan(group, showJunk, n));

    // A step's candidates of one group, written to `out`: those the needle search finds, or with
    // no needle every entry the exclusion mask lets through.
    auto candidates = [&](const GroupPlan& p, std::uint32_t lo, std::uint32_t hi, std::uint32_t* out) {
        if (p.needle) return fidx_find(h, p.store, p.needle, p.needleLen, lo, hi, p.mask, out, &flag.word);
        std::uint32_t count = 0;
        std::uint8_t* const flags = h->flags;
        for (std::uint32_t e = lo; e < hi; ++e) {
            out[count] = e;
            count += (platform::relaxed(flags[e]) & p.mask) == 0;
        }
        return count;
    };

    const int threadCount = threads.load(std::memory_order_relaxed);
    const std::vector<Range> ranges = chunks(n, threadCount);
    // Each range writes its hits at its own offset of one buffer (a range holds at most as many
    // hits as entries), left uninitialised: the result is then copied out once, at its exact size.
    const HitBuffer buffer(std::size_t(n) + 1);
    std::uint32_t* const found = buffer.data();
    std::vector<std::uint32_t> kept(ranges.size(), 0);
    runIterations(ranges.size(), [&](std::size_t i) {
        if (hook_) hook_(TestPoint::rangeStart, n, i);
        const Range range = ranges[i];
        std::uint32_t* const buf = found + range.lo;
        std::uint32_t count = 0;
        std::vector<Worker> workers;
        workers.reserve(plans.size());
        for (const GroupPlan& p : plans) workers.emplace_back(*index_, *p.set);
        // With several groups, each group's hits of a step, and two lists their union is built in.
        std::vector<std::uint32_t> scratch(plans.size() > 1 ? (plans.size() + 2) * kStepEntries : 0);
        // A step's candidates go through the ops while its names, offsets and flags are still
        // in cache from the candidate search; each step's hits follow the ones before, and the
        // groups of a query search the same step one after the other, each from the cache.
        for (std::uint32_t lo = range.lo; lo < range.hi && !cancelled(flag);) {
            const std::uint32_t hi = range.hi - lo > kStepEntries ? lo + kStepEntries : range.hi;
            if (plans.size() == 1) {
                std::uint32_t* const at = buf + count;
                count +=
                    static_cast<std::uint32_t>(workers[0].keepPassing(at, candidates(plans[0], lo, hi, at), flag.word));
            } else {
                const std::uint32_t* united = nullptr;
                std::size_t unitedCount = 0;
                for (std::size_t g = 0; g < plans.size(); ++g) {
                    std::uint32_t* const list = scratch.data() + g * kStepEntries;
                    const std::size_t listCount =
                        workers[g].keepPassing(list, candidates(plans[g], lo, hi, list), flag.word);
                    if (g == 0) {
                        united = list;
                        unitedCount = listCount;
                        continue;
                    }
                    std::uint32_t* const into = scratch.data() + (plans.size() + g % 2) * kStepEntries;
                    unitedCount = static_cast<std::size_t>(
                        std::set_union(united, united + unitedCount, list, list + listCount, into) - into);
                    united = into;
                }
                std::copy(united, united + unitedCount, buf + count);
                count += static_cast<std::uint32_t>(unitedCount);
            }
            lo = hi;
        }
        kept[i] = count;
    });
    std::size_t total = 0;
    for (const std::uint32_t k : kept) total += k;
    std::vector<std::uint32_t> out;
    out.reserve(total);
    for (std::size_t i = 0; i < ranges.size(); ++i)
        out.insert(out.end(), found + ranges[i].lo, found + ranges[i].lo + kept[i]);
    return out;
}

std::vector<std::uint32_t> Searcher::filter(std::span<const std::uint32_t> candidates, const std::vector<Term>& group,
                                            bool showJunk, const Flag& flag) const {
    const std::shared_ptr<OpSet> set = compile(group, flag.n);
    const std::uint8_t mask = excludeMask(group, showJunk);
    const fidx* h = index_->s();
    const std::size_t c = candidates.size();
    const int threadCount = threads.load(std::memory_order_relaxed);
    const std::size_t k = threadCount < 1 ? 1 : std::min<std::size_t>(c / 2048 + 1, std::size_t(threadCount));
    std::vector<std::vector<std::uint32_t>> lists(k);
    runIterations(k, [&](std::size_t i) {
        std::vector<std::uint32_t>& kept = lists[i];
        const std::size_t begin = c * i / k, end = c * (i + 1) / k;
        kept.resize(end - begin);
        std::size_t count = 0;
        for (std::size_t pos = begin; pos < end; ++pos) {
            const std::uint32_t e = candidates[pos];
            kept[count] = e;
            count += (relaxedFlags(h, e) & mask) == 0;
        }
        Worker worker(*index_, *set);
        kept.resize(worker.keepPassing(kept.data(), count, flag.word));
    });
    return concatenated(lists);
}

std::vector<Searcher::Range> Searcher::chunks(std::uint32_t n, int threads) {
    const std::uint64_t most = threads < 1 ? 1 : 2 * std::uint64_t(threads);
    const std::uint64_t k = std::max<std::uint64_t>(1, std::min<std::uint64_t>(n / 4096 + 1, most));
    std::vector<Range> ranges;
    ranges.reserve(k);
    // In 64 bits: n * (i + 1) overflows 32 bits for large indexes split many ways.
    for (std::uint64_t i = 0; i < k; ++i)
        ranges.push_back({static_cast<std::uint32_t>(n * i / k), static_cast<std::uint32_t>(n * (i + 1) / k)});
    return ranges;
}

std::vector<std::uint32_t> Searcher::unite(std::span<const std::uint32_t> a, std::span<const std::uint32_t> b) {
    std::vector<std::uint32_t> out;
    out.reserve(a.size() + b.size());
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i] < b[j]) {
            out.push_back(a[i++]);
        } else if (b[j] < a[i]) {
            out.push_back(b[j++]);
        } else {
            out.push_back(a[i++]);
            ++j;
        }
    }
    out.insert(out.end(), a.begin() + static_cast<std::ptrdiff_t>(i), a.end());
    out.insert(out.end(), b.begin() + static_cast<std::ptrdiff_t>(j), b.end());
    return out;
}

bool Searcher::extends(const Query& old, const Query& next) {
    if (old.groups.size() != 1 || next.groups.size() != 1) return false;
    const std::vector<Term>& a = old.groups.front();
    const std::vector<Term>& b = next.groups.front();
    if (a.size() != b.size() || a.empty()) return false;
    // Sound for one AND-group: every term the same but at most one, which is a plain name term
    // whose searched bytes contain the previous ones, so every new hit was an old hit.
    std::optional<std::size_t> changed;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        if (changed) return false;
        changed = i;
    }
    if (changed) return narrows(a[*changed], b[*changed]);
    return std::any_of(a.begin(), a.end(), [](const Term& term) { return narrows(term, term); });
}

}  // namespace quorvanta::core
