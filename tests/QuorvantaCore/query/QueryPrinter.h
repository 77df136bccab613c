// A compact printed form of a parsed query for the parser's tests:
// [[name a, !ext(mp3)], [^glob *.txt]], where "!" marks a negated term and "^" a case-sensitive
// one; audio conditions print as bpm[1276,1284], artist=x or lossless=false.
#pragma once

#include "QuorvantaCore/query/Query.h"

#include <limits>
#include <string>
#include <variant>

namespace quorvanta::test {

inline std::string printed(const core::AudioCond& c) {
    std::string out(core::rawValue(c.field));
    const bool wholeRange =
        c.lo == std::numeric_limits<std::int64_t>::min() && c.hi == std::numeric_limits<std::int64_t>::max();
    if (c.field == core::AudioCond::Field::lossless && wholeRange && c.text.empty())
        return out + (c.flag ? "=true" : "=false");
    if (c.isText() && wholeRange && c.flag) return out + "=" + c.text;
    out += "[" + std::to_string(c.lo) + "," + std::to_string(c.hi) + "]";
    if (!c.text.empty()) out += " text=" + c.text;
    if (!c.flag) out += " flag=false";
    return out;
}

inline std::string printed(const core::Pred& pred) {
    using P = core::Pred;
    return std::visit(
        [](const auto& p) -> std::string {
            using T = std::decay_t<decltype(p)>;
            if constexpr (std::is_same_v<T, P::Name>) return "name " + p.text;
            if constexpr (std::is_same_v<T, P::Glob>) return "glob " + p.pattern;
            if constexpr (std::is_same_v<T, P::Regex>) return "regex " + p.pattern;
            if constexpr (std::is_same_v<T, P::Ext>) {
                std::string out = "ext(";
                for (std::size_t i = 0; i < p.exts.size(); ++i)
                    out += (i ? "," : "") + (p.exts[i].empty() ? std::string("''") : p.exts[i]);
                return out + ")";
            }
            if constexpr (std::is_same_v<T, P::Size>)
                return "size[" + std::to_string(p.range.lo) + "," + std::to_string(p.range.hi) + "]";
            if constexpr (std::is_same_v<T, P::Date>)
                return "date[" + std::to_string(p.range.lo) + "," + std::to_string(p.range.hi) + "]";
            if constexpr (std::is_same_v<T, P::Path>) return "path " + p.text;
            if constexpr (std::is_same_v<T, P::Kind>) return p.dir ? "kind dir" : "kind file";
            if constexpr (std::is_same_v<T, P::Audio>) return printed(p.cond);
            if constexpr (std::is_same_v<T, P::Content>) return "content " + p.text;
            if constexpr (std::is_same_v<T, P::Junk>) return "junk";
        },
        pred.value);
}

inline std::string printed(const core::Query& query) {
    std::string out = "[";
    for (std::size_t g = 0; g < query.groups.size(); ++g) {
        out += g ? ", [" : "[";
        for (std::size_t t = 0; t < query.groups[g].size(); ++t) {
            const auto& term = query.groups[g][t];
            if (t) out += ", ";
            if (term.neg) out += "!";
            if (term.caseSensitive) out += "^";
            out += printed(term.pred);
        }
        out += "]";
    }
    return out + "]";
}

}  // namespace quorvanta::test
