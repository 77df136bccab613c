// Compiling one AND-group into cost-ordered ops, the exclusion mask, the literal run of a
// wildcard pattern, and the test of one op on one entry.
#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/content/ContentIndex.h"
#include "QuorvantaCore/search/Searcher.h"
#include "QuorvantaCore/search/SearcherWorker.h"
#include "QuorvantaCore/text/Fold.h"
#include "platform/thread/Relaxed.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace quorvanta::core {
namespace {

constexpr std::size_t kExtTableBytes = 65536;
constexpr int kContentLimit = 200000;

// The order in which ops run: cheap flag and range tests first, set look-ups of full paths last.
enum Cost : int {
    costFlags = 0,
    costTable = 1,
    costAudio = 2,
    costName = 5,
    costGlob = 6,
    costPathDir = 7,
    costPathFull = 8,
    costRegex = 9,
    costContent = 10,
};

// Whether the needle occurs in the haystack. Haystacks are names, mostly a few dozen bytes: the
// first byte is found with memchr and the rest compared in place, which costs less on such short
// texts than a general search that first builds tables from the needle.
bool contains(const std::uint8_t* hay, std::size_t hayLen, const std::uint8_t* needle, std::size_t n) {
    if (n == 0) return true;
    if (hayLen < n) return false;
    const std::uint8_t* const last = hay + (hayLen - n);
    for (const std::uint8_t* at = hay; at <= last; ++at) {
        at = static_cast<const std::uint8_t*>(std::memchr(at, needle[0], static_cast<std::size_t>(last - at) + 1));
        if (!at) return false;
        if (std::memcmp(at + 1, needle + 1, n - 1) == 0) return true;
    }
    return false;
}

using platform::relaxed;

// The 65,536-byte extension table marking what the content index reads.
const std::uint8_t* contentExtTable(const VolumeIndex& index, Searcher::OpSet& set) {
    static const std::vector<std::string> exts(ContentIndex::allExts().begin(), ContentIndex::allExts().end());
    std::uint8_t* table = set.zeroed(kExtTableBytes);
    for (const std::uint16_t id : index.extIDs(exts)) table[id] = 1;
    return table;
}

// The full paths of the documents holding text, at most kContentLimit of them; none without a
// content index.
std::unordered_set<std::string> contentPaths(const VolumeIndex& index, const std::string& text) {
    const std::shared_ptr<ContentIndex> content = index.content();
    if (!content) return {};
    return content->search(text, kContentLimit);
}

}  // namespace

const std::uint8_t* Searcher::OpSet::bytes(std::string_view b) {
    std::uint8_t* buf = zeroed(b.size());
    std::memcpy(buf, b.data(), b.size());
    return buf;
}

std::uint8_t* Searcher::OpSet::zeroed(std::size_t n) {
    bufs.emplace_back(std::max<std::size_t>(n, 1), 0);
    return bufs.back().data();
}

std::shared_ptr<Searcher::OpSet> Searcher::compile(const std::vector<Term>& group, std::uint32_t n) const {
    auto set = std::make_shared<OpSet>();
    std::vector<std::pair<int, Op>> pairs;
    auto add = [&](int cost, Op op) { pairs.emplace_back(cost, op); };

    for (const Term& term : group) {
        Op op;
        op.neg = term.neg;
        std::visit(
            [&](const auto& pred) {
                using P = std::decay_t<decltype(pred)>;
                if constexpr (std::is_same_v<P, Pred::Name>) {
                    const std::string b = term.caseSensitive ? pred.text : VolumeIndex::fold(pred.text);
                    op.k = term.caseSensitive ? K::nameCS : K::name;
                    op.p = set->bytes(b);
                    op.n = b.size();
                    add(costName, op);
                } else if constexpr (std::is_same_v<P, Pred::Glob>) {
                    // A pattern of nothing but "*" matches every name: it tests nothing.
                    if (!term.neg && pred.pattern.find_first_not_of('*') == std::string::npos) return;
                    const std::string b = VolumeIndex::fold(pred.pattern);
                    op.k = K::glob;
                    op.p = set->bytes(b);
                    op.n = b.size();
                    add(costGlob, op);
                } else if constexpr (std::is_same_v<P, Pred::Regex>) {
                    // An expression that does not compile drops the term; the workers compile
                    // their own copies of one that does.
                    const int cflags = PosixRegex::flags(term.caseSensitive);
                    if (!PosixRegex::compileWithFlags(pred.pattern, cflags)) return;
                    op.k = K::regex;
                    op.re = static_cast<int>(set->res.size());
                    set->res.push_back({pred.pattern, cflags});
                    add(costRegex, op);
                } else if constexpr (std::is_same_v<P, Pred::Ext>) {
                    std::uint8_t* table = set->zeroed(kExtTableBytes);
                    for (const std::uint16_t id : index_->extIDs(pred.exts)) table[id] = 1;
                    op.k = K::ext;
                    op.p = table;
                    add(costTable, op);
                } else if constexpr (std::is_same_v<P, Pred::Size>) {
                    op.k = K::size;
                    op.lo = pred.range.lo;
                    op.hi = pred.range.hi;
                    add(costTable, op);
                } else if constexpr (std::is_same_v<P, Pred::Date>) {
                    op.k = K::date;
                    op.lo = pred.range.lo;
                    op.hi = pred.range.hi;
                    add(costTable, op);
                } else if constexpr (std::is_same_v<P, Pred::Path>) {
                    const std::string b = VolumeIndex::fold(pred.text);
                    op.p = set->bytes(b);
                    op.n = b.size();
                    if (b.find('/') != std::string::npos) {
                        op.k = K::pathFull;
                        add(costPathFull, op);
                    } else {
                        op.k = K::pathDir;
                        op.aux = dirHits(b, *set, n);
                        add(costPathDir, op);
                    }
                } else if constexpr (std::is_same_v<P, Pred::Kind>) {
                    op.k = K::kind;
                    op.lo = pred.dir ? 1 : 0;
                    add(costFlags, op);
                } else if constexpr (std::is_same_v<P, Pred::Audio>) {
                    std::uint8_t* mask = set->zeroed(n / 8 + 1);
                    if (const std::shared_ptr<AudioTable> table = index_->audio()) table->fill(pred.cond, mask, n);
                    op.k = K::audio;
                    op.aux = mask;
                    add(costAudio, op);
                } else if constexpr (std::is_same_v<P, Pred::Content>) {
                    // A plain term first narrows to the extensions the content index reads; a
                    // negated one removes the hits and keeps everything else.
                    if (!term.neg) {
                        Op prefilter;
                        prefilter.k = K::ext;
                        prefilter.p = contentExtTable(*index_, *set);
                        add(costTable, prefilter);
                    }
                    auto hits = std::make_shared<ContentHits>();
                    hits->paths = contentPaths(*index_, pred.text);
                    op.k = K::content;
                    op.hits = hits.get();
                    set->keep.push_back(std::move(hits));
                    add(costContent, op);
                } else if constexpr (std::is_same_v<P, Pred::Junk>) {
                    op.k = K::junk;
                    add(costFlags, op);
                }
            },
            term.pred.value);
    }
    std::stable_sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    set->ops.reserve(pairs.size());
    for (const auto& pair : pairs) set->ops.push_back(pair.second);
    return set;
}

const std::uint8_t* Searcher::dirHits(std::string_view value, OpSet& set, std::uint32_t n) const {
    std::uint8_t* marks = set.zeroed(std::size_t(n) + 1);
    const fidx* h = index_->s();
    const auto* needle = reinterpret_cast<const std::uint8_t*>(value.data());
    // Parents come before their children, so one ascending pass sees every parent's mark first.
    for (const std::uint32_t d : index_->directories(n)) {
        const std::uint32_t p = h->parent[d];
        if (p != FIDX_NONE && p < n && marks[p] != 0) {
            marks[d] = marks[p];
        } else {
            const std::uint32_t off = h->name_off[d];
            marks[d] = contains(h->folded + off, h->name_off[d + 1] - off - 1, needle, value.size()) ? 1 : 0;
        }
    }
    return marks;
}

std::uint8_t Searcher::excludeMask(const std::vector<Term>& group, bool showJunk) {
    bool hasJunk = false;
    bool hasExt = false;
    for (const Term& term : group) {
        hasJunk |= std::holds_alternative<Pred::Junk>(term.pred.value);
        hasExt |= std::holds_alternative<Pred::Ext>(term.pred.value);
    }
    constexpr std::uint8_t base = FIDX_DELETED | FIDX_ROOT;
    if (hasJunk) return base;
    if (!showJunk) return base | FIDX_HIDDEN | FIDX_JUNK;
    return hasExt ? base | FIDX_JUNK : base;
}

std::string_view Searcher::literalRun(std::string_view pattern) {
    std::string_view best;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= pattern.size(); ++i) {
        if (i < pattern.size() && pattern[i] != '*' && pattern[i] != '?') continue;
        if (i - start > best.size()) best = pattern.substr(start, i - start);
        start = i + 1;
    }
    return best;
}

Searcher::Worker::Worker(const VolumeIndex& index, const OpSet& set) : index_(index), h_(index.s()), set_(set) {
    regexes_.reserve(set.res.size());
    for (const RegexSource& source : set.res)
        regexes_.push_back(PosixRegex::compileWithFlags(source.pattern, source.cflags));
    globs_.resize(set.ops.size());
    for (std::size_t i = 0; i < set.ops.size(); ++i)
        if (set.ops[i].k == K::glob) globs_[i] = fidx_glob_compile(set.ops[i].p, set.ops[i].n);
}

std::size_t Searcher::Worker::keepPassing(std::uint32_t* ids, std::size_t count,
                                          const std::atomic<std::uint32_t>& cancel) {
    // Block by block, so the ids stay in cache while every op filters them and the cancel word
    // is read now and then; each block's survivors move down behind the ones kept before.
    std::size_t kept = 0;
    for (std::size_t at = 0; at < count; at += kBlock) {
        if (cancel.load(std::memory_order_relaxed) != 0) return kept;
        std::uint32_t* block = ids + at;
        std::size_t n = std::min(kBlock, count - at);
        for (const Op& op : set_.ops) {
            if (n == 0) break;
            n = keep(op, block, n);
        }
        if (block != ids + kept) std::copy(block, block + n, ids + kept);
        kept += n;
    }
    return kept;
}

namespace {

// Keeps, in order, the ids for which `matches` differs from `neg`; gives how many.
template <class Matches>
std::size_t keepIf(std::uint32_t* ids, std::size_t count, bool neg, Matches matches) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t e = ids[i];
        ids[kept] = e;
        kept += matches(e) != neg;
    }
    return kept;
}

}  // namespace

std::size_t Searcher::Worker::keep(const Op& op, std::uint32_t* ids, std::size_t count) {
    // One loop per kind, so that the kind is decided once per block rather than once per entry.
    switch (op.k) {
        case K::name:
        case K::nameCS: {
            const std::uint8_t* store = op.k == K::name ? h_->folded : h_->names;
            if (!searchSpan(store, op, ids, count))
                return keepIf(ids, count, op.neg, [&](std::uint32_t e) { return nameHas(store, op, e); });
            std::size_t j = 0;
            return keepIf(ids, count, op.neg, [&](std::uint32_t e) { return inSpanHits(e, j); });
        }
        case K::glob:
            return keepIf(ids, count, op.neg, [&](std::uint32_t e) { return globMatches(op, e); });
        case K::ext:
            return keepIf(ids, count, op.neg, [&](std::uint32_t e) { return op.p[h_->ext[e]] != 0; });
        case K::size:
            return keepIf(ids, count, op.neg, [&](std::uint32_t e) {
                const std::uint64_t v = relaxed(h_->size[e]);
                return op.lo <= v && v <= op.hi;
            });
        case K::date:
            return keepIf(ids, count, op.neg, [&](std::uint32_t e) {
                const std::uint64_t v = relaxed(h_->mtime[e]);
                return op.lo <= v && v <= op.hi;
            });
        case K::kind:
            return keepIf(ids, count, op.neg,
                          [&](std::uint32_t e) { return ((relaxedFlags(h_, e) & FIDX_FOLDER) != 0) == (op.lo == 1); });
        case K::junk:
            return keepIf(ids, count, op.neg, [&](std::uint32_t e) { return (relaxedFlags(h_, e) & FIDX_JUNK) != 0; });
        case K::audio:
            return keepIf(ids, count, op.neg, [&](std::uint32_t e) { return ((op.aux[e >> 3] >> (e & 7)) & 1) != 0; });
        case K::pathDir: {
            auto marked = [&](std::uint32_t e) {
                const std::uint32_t p = h_->parent[e];
                return (p != FIDX_NONE && op.aux[p] != 0) || op.aux[e] != 0;
            };
            // Only the names of entries outside the marked folders are searched; those entries,
            // in order, are what `unmarked_` holds, so one walk along it tells which they are.
            unmarked_.resize(count);
            std::size_t outside = 0;
            for (std::size_t i = 0; i < count; ++i) {
                unmarked_[outside] = ids[i];
                outside += !marked(ids[i]);
            }
            const bool span = searchSpan(h_->folded, op, unmarked_.data(), outside);
            std::size_t u = 0, j = 0;
            return keepIf(ids, count, op.neg, [&](std::uint32_t e) {
                if (u == outside || unmarked_[u] != e) return true;
                ++u;
                return span ? inSpanHits(e, j) : nameHas(h_->folded, op, e);
            });
        }
        case K::regex: {
            const PosixRegex* re = regexes_[op.re].get();
            return keepIf(ids, count, op.neg, [&](std::uint32_t e) {
                return re != nullptr && re->matches(reinterpret_cast<const char*>(h_->names + h_->name_off[e]));
            });
        }
        case K::pathFull:
            return keepIf(ids, count, op.neg, [&](std::uint32_t e) {
                const std::string& path = pathOf(e, true);
                return contains(reinterpret_cast<const std::uint8_t*>(path.data()), path.size(), op.p, op.n);
            });
        case K::content:
            return keepIf(ids, count, op.neg,
                          [&](std::uint32_t e) { return op.hits->paths.contains(pathOf(e, false)); });
    }
    return count;
}

bool Searcher::Worker::searchSpan(const std::uint8_t* store, const Op& op, const std::uint32_t* ids,
                                  std::size_t count) {
    if (count == 0 || op.n == 0) return false;
    const std::uint32_t lo = ids[0], hi = ids[count - 1] + 1;
    if (std::size_t(hi - lo) > kSpanShare * count) return false;
    if (hi - lo > spanRoom_) {
        spanHits_ = std::make_unique_for_overwrite<std::uint32_t[]>(hi - lo);
        spanRoom_ = hi - lo;
    }
    spanCount_ = fidx_find(h_, store, op.p, static_cast<std::uint32_t>(op.n), lo, hi, 0, spanHits_.get(), nullptr);
    return true;
}

bool Searcher::Worker::inSpanHits(std::uint32_t e, std::size_t& j) const {
    while (j < spanCount_ && spanHits_[j] < e) ++j;
    return j < spanCount_ && spanHits_[j] == e;
}

bool Searcher::Worker::nameHas(const std::uint8_t* store, const Op& op, std::uint32_t e) const {
    const std::uint32_t off = h_->name_off[e];
    return contains(store + off, h_->name_off[e + 1] - off - 1, op.p, op.n);
}

bool Searcher::Worker::globMatches(const Op& op, std::uint32_t e) const {
    const std::uint32_t off = h_->name_off[e];
    // Names whose fold is shorter than they are carry 0x01 fill bytes after the folded text.
    std::size_t len = h_->name_off[e + 1] - off - 1;
    if (relaxedFlags(h_, e) & FIDX_NON_ASCII)
        while (len > 0 && h_->folded[off + len - 1] == 0x01) --len;
    return fidx_glob_test(&globs_[static_cast<std::size_t>(&op - set_.ops.data())], h_->folded + off, len);
}

const std::string& Searcher::Worker::pathOf(std::uint32_t e, bool fold) {
    index_.pathInto(e, path_);
    if (!fold) return path_;
    folded_.resize(path_.size());
    const std::size_t n = text::foldInto(reinterpret_cast<const unsigned char*>(path_.data()), path_.size(),
                                         reinterpret_cast<unsigned char*>(folded_.data()));
    folded_.resize(n);
    return folded_;
}

}  // namespace quorvanta::core
