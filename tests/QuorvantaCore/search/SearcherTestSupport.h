// Term builders and small readers shared by the searcher tests.
#pragma once

#include "QuorvantaCore/query/Query.h"
#include "QuorvantaCore/search/Searcher.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::core::test {

inline Term nameTerm(std::string s, bool cs = false) { return {false, Pred::Name{std::move(s)}, cs}; }
inline Term globTerm(std::string s, bool cs = false) { return {false, Pred::Glob{std::move(s)}, cs}; }
inline Term regexTerm(std::string s, bool cs = false) { return {false, Pred::Regex{std::move(s)}, cs}; }
inline Term extTerm(std::vector<std::string> exts) { return {false, Pred::Ext{std::move(exts)}, false}; }
inline Term sizeTerm(std::uint64_t lo, std::uint64_t hi) { return {false, Pred::Size{{lo, hi}}, false}; }
inline Term dateTerm(std::uint32_t lo, std::uint32_t hi) { return {false, Pred::Date{{lo, hi}}, false}; }
inline Term pathTerm(std::string s, bool cs = false) { return {false, Pred::Path{std::move(s)}, cs}; }
inline Term kindTerm(bool dir) { return {false, Pred::Kind{dir}, false}; }
inline Term audioTerm(AudioCond cond) { return {false, Pred::Audio{std::move(cond)}, false}; }
inline Term contentTerm(std::string s) { return {false, Pred::Content{std::move(s)}, false}; }
inline Term junkTerm() { return {false, Pred::Junk{}, false}; }
inline Term negated(Term t) {
    t.neg = true;
    return t;
}

inline Query query(std::vector<std::vector<Term>> groups) { return Query{std::move(groups)}; }

// The kinds of a compiled set's ops, in order, as their numbers ("9,4,0").
inline std::string kinds(const Searcher::OpSet& set) {
    std::string out;
    for (const Searcher::Op& op : set.ops) out += (out.empty() ? "" : ",") + std::to_string(static_cast<int>(op.k));
    return out;
}

// A search's hits, or {999999} for none, so that a cancelled result shows in a comparison.
inline std::vector<std::uint32_t> hitsOrMarker(const std::optional<std::vector<std::uint32_t>>& hits) {
    return hits ? *hits : std::vector<std::uint32_t>{999999};
}

}  // namespace quorvanta::core::test
