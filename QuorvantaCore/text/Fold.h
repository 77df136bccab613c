// Name folding: the one case- and diacritic-insensitive fold of the system, with no locale. The
// folded name store, the searcher's needles and its wildcard and path terms, the audio table's
// folded texts and the same-song key all use it, so folded texts compare as plain bytes.
//
// The fold works cluster by cluster (Grapheme.h): canonical decomposition with full case folding,
// non-spacing marks (category Mn) dropped, canonical recomposition. A cluster whose fold would be
// longer than its own bytes ("Ⱥ", "և", "ᾳ") keeps its original bytes, so the fold of a text is
// never longer than the text and a folded name fits the name's slot. ASCII A-Z is lowered
// everywhere; ill-formed UTF-8 bytes pass through unchanged.
//
// Every function here is safe to call from many threads at once. Scratch space is thread-local
// and reused, so the steady state allocates nothing besides the returned string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvanta::core::text {

// The fold of text; its length is at most text.size().
std::string fold(std::string_view text);

// Folds the n bytes at in into out, which must have room for n bytes and must not overlap in.
// Returns the folded length (at most n); out's bytes past it are left alone.
std::size_t foldInto(const unsigned char* in, std::size_t n, unsigned char* out);

}  // namespace quorvanta::core::text

// The fold hook handed to the index engine (a plain C function, so its address fits the
// engine's hook pointer): writes exactly `length` bytes to `out`, the fold of the `length` name
// bytes at `name` followed by 0x01 padding up to `length`. `out` must not overlap `name`.
extern "C" void quorvanta_fold_hook(const std::uint8_t* name, std::size_t length, std::uint8_t* out);
