// The lookup every user-visible text goes through, keyed by its English text:
//   tr("Find duplicates")
//   tr("%@ files in %lld folders", name, count)
// The key is the English text with "%@" for each inserted text and "%lld" for each inserted whole
// number; translations may reorder them ("%2$lld … %1$@"). A key without a translation in the
// interface language comes back as the English text. Without values the text is given as written
// (a "%" in it is just a percent sign). trNoop marks a text kept in a table, to be
// translated where it is shown, so that scripts/check-translations finds it.
//
// Any thread may call these.
#pragma once

#include "QuorvantaCore/lang/Lang.h"

#include <string>
#include <string_view>

namespace quorvanta::core {

inline std::string tr(std::string_view key) { return Lang::shared().tr(key); }

template <class... Args>
requires(sizeof...(Args) > 0) std::string tr(std::string_view key, const Args&... args) {
    const FormatArg values[] = {FormatArg(args)...};
    return Lang::shared().tr(key, values);
}

constexpr std::string_view trNoop(std::string_view key) { return key; }

}  // namespace quorvanta::core
