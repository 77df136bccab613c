// Lists of file types as users write them ("*.mp3;*.flac", "mp3, flac", ".mp3 .flac"), in the
// include-only setting and the categories: parsed into clean extensions (lower case, no dot,
// each once) plus the entries that are not simple extension patterns, and formatted back.
// Pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::core {

class ExtPatterns {
public:
    struct Parsed {
        std::vector<std::string> exts;      // accepted, in order of first appearance
        std::vector<std::string> rejected;  // entries as typed, in order
        bool operator==(const Parsed&) const = default;
    };

    // Entries are separated by ";", "," and any white space (line breaks too). One leading "*."
    // or "." is removed; an entry that is then empty or holds "*", "?", "/", "\" or ":" is
    // rejected; a repeated extension is dropped silently.
    static Parsed parse(std::string_view text);

    // "*.mp3;*.flac"; the empty text for an empty list. parse(format(parse(x).exts)) gives the
    // same extensions and rejects nothing.
    static std::string format(const std::vector<std::string>& exts);
};

}  // namespace quorvanta::core
