// The invariants of every query the parser returns, shared by the parser's robustness test and
// its fuzz harness: no empty group, a non-empty ext list, lo <= hi in every range, non-empty path,
// content and audio texts.
#pragma once

#include "QuorvantaCore/query/Query.h"

#include <string>
#include <variant>

namespace quorvanta::test {

// Why a query breaks the invariants, or the empty text when it keeps them.
inline std::string brokenInvariant(const core::Query& query) {
    using P = core::Pred;
    for (const auto& group : query.groups) {
        if (group.empty()) return "empty group";
        for (const auto& term : group) {
            const auto& v = term.pred.value;
            if (const auto* ext = std::get_if<P::Ext>(&v); ext && ext->exts.empty()) return "empty ext list";
            if (const auto* size = std::get_if<P::Size>(&v); size && size->range.lo > size->range.hi)
                return "size range reversed";
            if (const auto* date = std::get_if<P::Date>(&v); date && date->range.lo > date->range.hi)
                return "date range reversed";
            if (const auto* path = std::get_if<P::Path>(&v); path && path->text.empty()) return "empty path";
            if (const auto* content = std::get_if<P::Content>(&v); content && content->text.empty())
                return "empty content";
            if (const auto* audio = std::get_if<P::Audio>(&v)) {
                if (audio->cond.lo > audio->cond.hi) return "audio range reversed";
                if (audio->cond.isText() && audio->cond.text.empty()) return "empty audio text";
            }
        }
    }
    return {};
}

}  // namespace quorvanta::test
