// Canonical composition (Unicode normalisation form C) without a locale, cluster by cluster as
// the fold works (Grapheme.h): each cluster is decomposed canonically, its marks put in canonical
// order and the result recomposed. Compatibility characters ("ﬁ", fullwidth forms) stay as they
// are. Ill-formed UTF-8 bytes pass through unchanged. Pure, safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace quorvanta::core::text {

// The NFC form of text: "e" followed by U+0301 gives "é", the Ångström sign gives "Å".
std::string nfc(std::string_view text);

}  // namespace quorvanta::core::text
