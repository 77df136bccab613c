// Extended grapheme clusters (user-perceived characters), by the Unicode 15.0 rules of utf8proc.
// Every "character" that a length rule or a tokenizer counts is one cluster: "e" followed by
// U+0301 is one character, so is CR LF, a flag pair or an emoji family joined by ZWJ.
//
// Indic conjuncts (consonant, virama, consonant in the six scripts that form them) are kept
// whole, as Unicode does from 15.1 on and ICU's character iterator already did.
//
// An ill-formed UTF-8 byte (see Utf8.h) is a cluster of its own with a break on both sides; a
// mark that follows it starts a new cluster, as after a control character. Nothing is dropped,
// so the clusters of a text always concatenate to the text. Pure functions, safe from any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace quorvanta::core::text {

// The end (one past the last byte) of the cluster that starts at byte `start` of the n bytes at
// p; start must lie on a cluster boundary and below n.
std::size_t graphemeEnd(const unsigned char* p, std::size_t n, std::size_t start);

inline std::size_t graphemeEnd(std::string_view text, std::size_t start) {
    return graphemeEnd(reinterpret_cast<const unsigned char*>(text.data()), text.size(), start);
}

// Calls f(cluster) for each cluster of text in order, cluster being a std::string_view.
template <class F>
void forEachGrapheme(std::string_view text, F&& f) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = graphemeEnd(text, at);
        f(text.substr(at, end - at));
        at = end;
    }
}

// The number of clusters in text.
std::size_t graphemeCount(std::string_view text);

// The first n clusters of text (all of it when it has fewer).
std::string_view graphemePrefix(std::string_view text, std::size_t n);
// The last n clusters of text (all of it when it has fewer).
std::string_view graphemeSuffix(std::string_view text, std::size_t n);

}  // namespace quorvanta::core::text
