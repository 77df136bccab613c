// Searcher::search against a naive evaluator written from the meaning of each term: per entry,
// its fold, its ancestors, its full path, its audio facts and its content, over a seeded random
// index, for random queries at several thread counts with and without junk shown.
#include "QuorvantaCore/audio_table/AudioTable.h"
#include "QuorvantaCore/content/ContentIndex.h"
#include "QuorvantaCore/search/PosixRegex.h"
#include "QuorvantaCore/search/Searcher.h"
#include "QuorvantaCore/text/Fold.h"

#include "tests/QuorvantaCore/content/ContentIndexTestSupport.h"
#include "tests/QuorvantaCore/search/InMemoryIndex.h"
#include "tests/QuorvantaCore/search/SearcherTestSupport.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

using namespace test;
using Hits = std::vector<std::uint32_t>;

const std::vector<std::string> kWords = {
    "report",
    "Repo",
    "photo",
    "Photos",
    "data",
    "notes",
    "mix",
    "track",
    "a",
    "b",
    "x",
    "README",
    "index",
    "backup",
    "café",
    "Café",
    "cafe\xCC\x81",
    "Ångström",
    "naïve",
    "Straße",
    "\xC5\x89oo" /* U+0149 folds longer */,
    "\xC8\xBA" /* U+023A */,
    "日本語",
    "가방",
    "\xFF\xFE",
    "bad\xC3(",
    "ΣΊΣΥΦΟΣ",
    "İstanbul",
    "2024",
    "-",
    "_",
};
const std::vector<std::string> kDocWords = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf"};
const std::vector<std::string> kExts = {".txt", ".jpg", ".mp3", ".flac", ".pdf", ".md", ".TXT", ".Mp3", "", "", ""};

// Whole-text wildcard match, written out recursively: "*" any run, "?" one byte.
bool globMatches(std::string_view p, std::string_view t) {
    if (p.empty()) return t.empty();
    if (p[0] == '*') return globMatches(p.substr(1), t) || (!t.empty() && globMatches(p, t.substr(1)));
    return !t.empty() && (p[0] == '?' || p[0] == t[0]) && globMatches(p.substr(1), t.substr(1));
}

bool has(std::string_view hay, std::string_view needle) { return hay.find(needle) != std::string_view::npos; }

struct Model {
    std::vector<IndexEntry> entries;
    std::map<std::uint32_t, AudioMeta> audio;
    std::map<std::uint32_t, std::set<std::string>> docs;  // entry -> the words of its document
    // Per entry, computed from the list alone.
    std::vector<std::string> folded;
    std::vector<std::string> path;
    std::vector<std::string> foldedPath;
};

Model randomModel(std::mt19937& rng) {
    auto pick = [&](const auto& list) { return list[rng() % list.size()]; };
    auto chance = [&](int percent) { return int(rng() % 100) < percent; };
    Model m;
    auto randomName = [&] {
        std::string name = chance(8) ? "." : "";
        name += pick(kWords);
        if (chance(50)) name += std::string(chance(50) ? " " : "") + pick(kWords);
        if (chance(30)) name += std::to_string(rng() % 100);
        return name;
    };
    // Folders in creation order; each folder's children are added together, subfolders queued.
    std::vector<std::uint32_t> queue;
    auto addRoot = [&](std::string name) {
        queue.push_back(static_cast<std::uint32_t>(m.entries.size()));
        m.entries.push_back({std::move(name), FIDX_NONE});
    };
    addRoot("/data");
    for (std::size_t next = 0; next < queue.size() && m.entries.size() < 10000; ++next) {
        if (next == 60) addRoot("/mnt/Ext");
        const std::uint32_t parent = queue[next];
        const int children = 5 + int(rng() % 40);
        std::set<std::string> siblings;  // a folder holds each name once
        for (int c = 0; c < children; ++c) {
            IndexEntry e;
            e.parent = parent;
            e.name = randomName();
            const bool dir = chance(15);
            if (dir) {
                e.flags |= FIDX_FOLDER;
            } else {
                e.name += pick(kExts);
                e.size = chance(10) ? 0 : rng() % 5000000;
            }
            if (!siblings.insert(e.name).second) continue;
            if (e.name[0] == '.' || (m.entries[parent].flags & FIDX_HIDDEN)) e.flags |= FIDX_HIDDEN;
            if (chance(3) || (m.entries[parent].flags & FIDX_JUNK)) e.flags |= FIDX_JUNK;
            if (chance(3)) e.flags |= FIDX_DELETED;
            if (!dir && chance(2)) e.flags |= FIDX_SYMLINK;
            e.mtime = 1600000000 + rng() % 100000000;
            if (dir) queue.push_back(static_cast<std::uint32_t>(m.entries.size() + 0));
            m.entries.push_back(std::move(e));
        }
    }
    if (queue.size() <= 60) addRoot("/mnt/Ext");
    const std::size_t n = m.entries.size();
    m.folded.resize(n);
    m.path.resize(n);
    m.foldedPath.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const IndexEntry& e = m.entries[i];
        m.folded[i] = text::fold(e.name);
        if (e.parent == FIDX_NONE) {
            m.path[i] = e.name;
        } else {
            const std::string& above = m.path[e.parent];
            m.path[i] = above + (above.ends_with('/') ? "" : "/") + e.name;
        }
        m.foldedPath[i] = text::fold(m.path[i]);
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (m.entries[i].flags & FIDX_FOLDER || !chance(4)) continue;
        AudioMeta meta;
        meta.durationMs = rng() % 400000;
        meta.bitrateKbps = chance(20) ? 0 : static_cast<std::uint16_t>(64 + rng() % 300);
        meta.year = chance(20) ? 0 : static_cast<std::uint16_t>(1960 + rng() % 65);
        meta.codec = pick(std::vector<AudioCodec>{AudioCodec::unknown, AudioCodec::mp3, AudioCodec::flac,
                                                  AudioCodec::aac, AudioCodec::pcm});
        meta.artist = chance(20) ? "" : pick(kWords) + " " + pick(kWords);
        m.audio[static_cast<std::uint32_t>(i)] = meta;
    }
    // Documents for some files the content index reads, and for some it does not (.jpg), which
    // only a negated content term may see.
    for (std::size_t i = 0; i < n; ++i) {
        const std::string& name = m.entries[i].name;
        if (!(name.ends_with(".txt") || name.ends_with(".md") || name.ends_with(".jpg")) || !chance(30)) continue;
        std::set<std::string>& words = m.docs[static_cast<std::uint32_t>(i)];
        for (int w = 0; w < 1 + int(rng() % 3); ++w) words.insert(pick(kDocWords));
    }
    return m;
}

// A random piece of a random name (bytes, so possibly a broken character), sometimes upper-cased.
std::string fragment(std::mt19937& rng, const Model& m) {
    const std::string& name = m.entries[rng() % m.entries.size()].name;
    if (name.empty()) return "";
    const std::size_t at = rng() % name.size();
    std::string piece = name.substr(at, 1 + rng() % 5);
    if (rng() % 4 == 0)
        for (char& c : piece)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return piece;
}

Term randomTerm(std::mt19937& rng, const Model& m) {
    const bool cs = rng() % 5 == 0;
    Term t = junkTerm();
    switch (rng() % 13) {
        case 0:
        case 1:
        case 2: {
            const int r = int(rng() % 20);
            t = nameTerm(r == 0 ? "" : r == 1 ? "\xCC\x81" : fragment(rng, m), cs);
            break;
        }
        case 3: {
            std::string p = rng() % 2 ? "*" : "";
            p += fragment(rng, m);
            p += std::vector<std::string>{"*", "?", "*.mp3", "", "?*"}[rng() % 5];
            t = globTerm(p, cs);
            break;
        }
        case 4:
            t = regexTerm(std::vector<std::string>{"^re", "o$", "[0-9]{2}", "É", "caf.", "(", "^\\.", "a|b", "ß",
                                                   ".*x"}[rng() % 10],
                          cs);
            break;
        case 5: {
            std::vector<std::string> exts;
            for (int i = 0; i < 1 + int(rng() % 3); ++i)
                exts.push_back(std::vector<std::string>{"txt", "JPG", "mp3", "flac", "pdf", "zip", ""}[rng() % 7]);
            t = extTerm(exts);
            break;
        }
        case 6: {
            const std::uint64_t lo = rng() % 3000000;
            t = sizeTerm(lo, lo + rng() % 3000000);
            break;
        }
        case 7: {
            const std::uint32_t lo = 1600000000 + rng() % 100000000;
            t = dateTerm(lo, lo + rng() % 30000000);
            break;
        }
        case 8: {
            std::string text = fragment(rng, m);
            if (text.empty()) text = "a";
            t = pathTerm(rng() % 3 == 0 ? "/" + text : text, cs);
            break;
        }
        case 9:
            t = kindTerm(rng() % 2 == 0);
            break;
        case 10: {
            AudioCond cond(std::vector<AudioCond::Field>{AudioCond::Field::bitrate, AudioCond::Field::year,
                                                         AudioCond::Field::artist,
                                                         AudioCond::Field::lossless}[rng() % 4]);
            cond.lo = 100 + rng() % 1900;
            cond.hi = cond.lo + rng() % 500;
            cond.text = rng() % 5 == 0 ? "" : fragment(rng, m);
            cond.flag = rng() % 2 == 0;
            t = audioTerm(cond);
            break;
        }
        case 11:
            t = rng() % 2 ? junkTerm() : contentTerm(kDocWords[rng() % kDocWords.size()]);
            break;
        default:
            t = nameTerm(fragment(rng, m), cs);
            break;
    }
    t.caseSensitive = cs;
    t.neg = rng() % 5 == 0;
    return t;
}

class Reference {
public:
    Reference(const Model& m, const VolumeIndex& index) : m_(m), index_(index) {}

    Hits search(const Query& q, bool showJunk) {
        regexes_.clear();
        for (const auto& group : q.groups)
            for (const Term& t : group)
                if (const auto* p = std::get_if<Pred::Regex>(&t.pred.value))
                    regexes_[&t] = PosixRegex::compile(p->pattern, t.caseSensitive);
        Hits out;
        static const std::vector<std::vector<Term>> oneEmptyGroup{{}};
        const std::vector<std::vector<Term>>& groups = q.groups.empty() ? oneEmptyGroup : q.groups;
        for (std::uint32_t e = 0; e < m_.entries.size(); ++e)
            for (const auto& group : groups)
                if (groupHolds(group, showJunk, e)) {
                    out.push_back(e);
                    break;
                }
        return out;
    }

private:
    bool groupHolds(const std::vector<Term>& group, bool showJunk, std::uint32_t e) const {
        const std::uint8_t flags = m_.entries[e].flags;
        if (flags & (FIDX_DELETED | FIDX_ROOT) || m_.entries[e].parent == FIDX_NONE) return false;
        bool junkTermSeen = false, extTermSeen = false;
        for (const Term& t : group) {
            junkTermSeen |= std::holds_alternative<Pred::Junk>(t.pred.value);
            extTermSeen |= std::holds_alternative<Pred::Ext>(t.pred.value);
        }
        if (!junkTermSeen) {
            if (!showJunk && (flags & (FIDX_HIDDEN | FIDX_JUNK))) return false;
            if (showJunk && extTermSeen && (flags & FIDX_JUNK)) return false;
        }
        for (const Term& t : group) {
            // A plain content term also asks for an extension the content index reads; a negated
            // one only removes the documents holding the text.
            if (const auto* p = std::get_if<Pred::Content>(&t.pred.value)) {
                const auto doc = m_.docs.find(e);
                const bool holdsText = doc != m_.docs.end() && doc->second.contains(p->text);
                const bool readable = ContentIndex::allExts().contains(index_.ext(e));
                if (t.neg ? holdsText : !(readable && holdsText)) return false;
                continue;
            }
            const std::optional<bool> r = holds(t, e);
            if (r && *r == t.neg) return false;  // a term that cannot hold anything is dropped (invalid regex)
        }
        return true;
    }

    // The fold of a query text, folded once per text.
    const std::string& fold(const std::string& text) const {
        auto it = folds_.find(text);
        if (it == folds_.end()) it = folds_.emplace(text, text::fold(text)).first;
        return it->second;
    }

    // Whether the term's predicate holds for e; none for a term that is ignored.
    std::optional<bool> holds(const Term& t, std::uint32_t e) const {
        const IndexEntry& entry = m_.entries[e];
        if (const auto* p = std::get_if<Pred::Name>(&t.pred.value))
            return t.caseSensitive ? has(entry.name, p->text) : has(m_.folded[e], fold(p->text));
        if (const auto* p = std::get_if<Pred::Glob>(&t.pred.value)) return globMatches(fold(p->pattern), m_.folded[e]);
        if (std::holds_alternative<Pred::Regex>(t.pred.value)) {
            const PosixRegex* re = regexes_.at(&t).get();
            if (!re) return std::nullopt;
            return re->matches(entry.name.c_str());
        }
        if (const auto* p = std::get_if<Pred::Ext>(&t.pred.value)) {
            const std::string ext = index_.ext(e);
            for (const std::string& x : p->exts)
                if (!ext.empty() && fold(x) == ext) return true;
            return false;
        }
        if (const auto* p = std::get_if<Pred::Size>(&t.pred.value))
            return p->range.lo <= entry.size && entry.size <= p->range.hi;
        if (const auto* p = std::get_if<Pred::Date>(&t.pred.value))
            return p->range.lo <= entry.mtime && entry.mtime <= p->range.hi;
        if (const auto* p = std::get_if<Pred::Path>(&t.pred.value)) {
            const std::string value = fold(p->text);
            if (has(value, "/")) return has(m_.foldedPath[e], value);
            for (std::uint32_t a = e;; a = m_.entries[a].parent) {
                if (has(m_.folded[a], value)) return true;
                if (m_.entries[a].parent == FIDX_NONE) return false;
            }
        }
        if (const auto* p = std::get_if<Pred::Kind>(&t.pred.value)) return ((entry.flags & FIDX_FOLDER) != 0) == p->dir;
        if (std::holds_alternative<Pred::Junk>(t.pred.value)) return (entry.flags & FIDX_JUNK) != 0;
        if (const auto* p = std::get_if<Pred::Audio>(&t.pred.value)) {
            const auto it = m_.audio.find(e);
            if (it == m_.audio.end()) return false;
            const AudioMeta& a = it->second;
            const AudioCond& c = p->cond;
            auto inRange = [&](std::int64_t v) { return v != 0 && c.lo <= v && v <= c.hi; };
            switch (c.field) {
                case AudioCond::Field::bitrate:
                    return inRange(a.bitrateKbps);
                case AudioCond::Field::year:
                    return inRange(a.year);
                case AudioCond::Field::artist:
                    return !a.artist.empty() && has(fold(a.artist), fold(c.text));
                case AudioCond::Field::lossless:
                    return a.codec != AudioCodec::unknown && a.lossless() == c.flag;
                default:
                    ADD_FAILURE() << "audio field not modelled";
                    return false;
            }
        }
        ADD_FAILURE() << "term not modelled";
        return false;
    }

    const Model& m_;
    const VolumeIndex& index_;
    std::map<const Term*, std::unique_ptr<PosixRegex>> regexes_;  // the query's, compiled once
    mutable std::map<std::string, std::string> folds_;
};

std::string describe(const Query& q) {
    std::string out;
    for (const auto& group : q.groups) {
        out += out.empty() ? "[" : " | [";
        for (const Term& t : group) {
            out += t.neg ? " !" : " ";
            out += std::to_string(t.pred.value.index());
            out += t.caseSensitive ? "cs" : "";
            std::visit(
                [&](const auto& p) {
                    if constexpr (requires { p.text; }) out += ":" + p.text;
                    if constexpr (requires { p.pattern; }) out += ":" + p.pattern;
                },
                t.pred.value);
        }
        out += " ]";
    }
    return out;
}

TEST(SearcherProperty, SearchEqualsTheNaiveEvaluator) {
    std::mt19937 rng(20261210);
    const Model model = randomModel(rng);
    const auto index = buildIndex(model.entries);
    auto table = std::make_shared<AudioTable>();
    std::vector<AudioTable::Row> rows;
    for (const auto& [entry, meta] : model.audio) rows.push_back({entry, 1, meta});
    table->upsert(rows);
    index->setAudio(table);
    quorvanta::test::TempDir dir;
    auto content = std::make_shared<ContentIndex>((dir / "content.sqlite").string());
    Documents docs;
    for (const auto& [entry, words] : model.docs) {
        std::string text;
        for (const std::string& w : words) text += w + " ";
        docs.emplace_back(model.path[entry], text);
    }
    addDocuments(*content, docs);
    index->setContent(content);
    ASSERT_EQ(index->count(), model.entries.size());
    Reference reference(model, *index);

    std::vector<Query> queries;
    for (int i = 0; i < 150; ++i) {
        Query q;
        const int groups = rng() % 6 == 0 ? 2 + int(rng() % 2) : 1;
        for (int g = 0; g < groups; ++g) {
            std::vector<Term> group;
            for (int t = 0; t < 1 + int(rng() % 3); ++t) group.push_back(randomTerm(rng, model));
            q.groups.push_back(group);
        }
        queries.push_back(q);
        // A name term typed keystroke by keystroke: the later queries may be narrowed.
        if (q.groups.size() == 1 && std::holds_alternative<Pred::Name>(q.groups[0].back().pred.value)) {
            const std::string text = std::get<Pred::Name>(q.groups[0].back().pred.value).text;
            for (std::size_t len = 1; len < text.size(); ++len) {
                Query step = q;
                step.groups[0].back().pred = Pred::Name{text.substr(0, len)};
                queries.insert(queries.end() - 1, step);
            }
        }
    }
    queries.push_back(Query{});

    int compared = 0;
    for (const bool showJunk : {false, true}) {
        std::vector<Hits> expected;
        for (const Query& q : queries) expected.push_back(reference.search(q, showJunk));
        for (const int threads : {1, 2, 8}) {
            Searcher searcher(index);
            searcher.threads = threads;
            for (std::size_t i = 0; i < queries.size(); ++i) {
                ASSERT_EQ(hitsOrMarker(searcher.search(queries[i], showJunk)), expected[i])
                    << describe(queries[i]) << " threads " << threads << " showJunk " << showJunk;
                ++compared;
            }
            if (threads == 8) {
                EXPECT_GT(searcher.narrowingsForTesting(), 0u);
            }
        }
    }
    EXPECT_GT(compared, 900);
}

}  // namespace
}  // namespace quorvanta::core
