#include "QuorvantaCore/text/Grapheme.h"

#include "QuorvantaCore/text/Utf8.h"

#include <utf8proc.h>

#include <algorithm>
#include <iterator>

namespace quorvanta::core::text {
namespace {

// Indic conjuncts: a consonant, a virama and the next consonant of Devanagari, Bengali, Gujarati,
// Oriya, Telugu or Malayalam form one character ("क्ष"), with marks and ZWJ allowed between
// them. utf8proc 2.8 knows only the plain extended-cluster rules, which would split the conjunct;
// ICU's character iterator and the Unicode rules from 15.1 on keep it whole. The tables are the
// Unicode 15.0 consonants (Indic_Syllabic_Category=Consonant) of those six scripts and the one
// virama of each.
struct Range {
    char32_t lo, hi;
};
constexpr Range kLinkingConsonants[] = {
    {0x0915, 0x0939}, {0x0958, 0x095F}, {0x0978, 0x097F}, {0x0995, 0x09A8}, {0x09AA, 0x09B0}, {0x09B2, 0x09B2},
    {0x09B6, 0x09B9}, {0x09DC, 0x09DD}, {0x09DF, 0x09DF}, {0x09F0, 0x09F1}, {0x0A95, 0x0AA8}, {0x0AAA, 0x0AB0},
    {0x0AB2, 0x0AB3}, {0x0AB5, 0x0AB9}, {0x0AF9, 0x0AF9}, {0x0B15, 0x0B28}, {0x0B2A, 0x0B30}, {0x0B32, 0x0B33},
    {0x0B35, 0x0B39}, {0x0B5C, 0x0B5D}, {0x0B5F, 0x0B5F}, {0x0B71, 0x0B71}, {0x0C15, 0x0C28}, {0x0C2A, 0x0C39},
    {0x0C58, 0x0C5A}, {0x0D15, 0x0D3A},
};
constexpr char32_t kViramas[] = {0x094D, 0x09CD, 0x0ACD, 0x0B4D, 0x0C4D, 0x0D4D};

bool isLinkingConsonant(char32_t cp) {
    if (cp < 0x0915 || cp > 0x0D3A) return false;
    const auto it = std::upper_bound(std::begin(kLinkingConsonants), std::end(kLinkingConsonants), cp,
                                     [](char32_t c, const Range& r) { return c < r.lo; });
    return it != std::begin(kLinkingConsonants) && cp <= std::prev(it)->hi;
}

bool isVirama(char32_t cp) { return std::find(std::begin(kViramas), std::end(kViramas), cp) != std::end(kViramas); }

// Where a cluster stands in a conjunct: after a consonant, or after consonant and virama, each
// possibly followed by combining marks (non-zero combining class) or ZWJ.
enum class Conjunct { none, consonant, linked };

Conjunct advance(Conjunct state, char32_t cp) {
    if (isLinkingConsonant(cp)) return Conjunct::consonant;
    if (state == Conjunct::none) return state;
    if (isVirama(cp)) return Conjunct::linked;
    const utf8proc_property_t* prop = utf8proc_get_property(static_cast<utf8proc_int32_t>(cp));
    const bool markOrJoiner =
        cp == 0x200D || (prop->boundclass == UTF8PROC_BOUNDCLASS_EXTEND && prop->combining_class != 0);
    return markOrJoiner ? state : Conjunct::none;
}

}  // namespace

std::size_t graphemeEnd(const unsigned char* p, std::size_t n, std::size_t start) {
    char32_t prev = 0;
    std::size_t len = decodeUtf8(p + start, n - start, prev);
    if (len == 0) return start + 1;
    // The break state starts fresh at every boundary: the rules that look back (emoji ZWJ
    // sequences, regional-indicator pairs) never look across one.
    utf8proc_int32_t state = 0;
    Conjunct conjunct = advance(Conjunct::none, prev);
    std::size_t at = start + len;
    while (at < n) {
        char32_t cp = 0;
        len = decodeUtf8(p + at, n - at, cp);
        if (len == 0) break;
        const bool breaks = utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(prev),
                                                             static_cast<utf8proc_int32_t>(cp), &state);
        if (breaks && !(conjunct == Conjunct::linked && isLinkingConsonant(cp))) break;
        conjunct = advance(conjunct, cp);
        prev = cp;
        at += len;
    }
    return at;
}

std::size_t graphemeCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at = graphemeEnd(text, at)) ++count;
    return count;
}

std::string_view graphemePrefix(std::string_view text, std::size_t n) {
    std::size_t at = 0;
    for (std::size_t taken = 0; taken < n && at < text.size(); ++taken) at = graphemeEnd(text, at);
    return text.substr(0, at);
}

std::string_view graphemeSuffix(std::string_view text, std::size_t n) {
    const std::size_t count = graphemeCount(text);
    if (count <= n) return text;
    return text.substr(graphemePrefix(text, count - n).size());
}

}  // namespace quorvanta::core::text
