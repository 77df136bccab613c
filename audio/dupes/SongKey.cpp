#include "audio/dupes/SongKey.h"

#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/text/CharClass.h"
#include "QuorvantaCore/text/Grapheme.h"
#include "QuorvantaCore/text/Utf8.h"

#include <array>
#include <vector>

namespace quorvanta::audio {

namespace {

// The code point at `at`, with its length; an ill-formed byte is one byte of no class.
struct Scalar {
    char32_t cp = 0;
    std::size_t length = 1;
    bool valid = false;
};

Scalar scalarAt(std::string_view s, std::size_t at) {
    Scalar out;
    const std::size_t n = core::text::decodeUtf8(s, at, out.cp);
    out.valid = n != 0;
    out.length = n != 0 ? n : 1;
    return out;
}

bool isSpaceAt(std::string_view s, std::size_t at, std::size_t& length) {
    const Scalar c = scalarAt(s, at);
    length = c.length;
    return c.valid && core::text::isWhiteSpace(c.cp);
}

bool isDigitAt(std::string_view s, std::size_t at, std::size_t& length) {
    const Scalar c = scalarAt(s, at);
    length = c.length;
    return c.valid && core::text::isDecimalDigit(c.cp);
}

std::size_t skipSpaces(std::string_view s, std::size_t at) {
    std::size_t length = 0;
    while (at < s.size() && isSpaceAt(s, at, length)) at += length;
    return at;
}

// The end of the run of decimal digits at `at`, and how many digits it holds.
std::size_t skipDigits(std::string_view s, std::size_t at, std::size_t& count) {
    count = 0;
    std::size_t length = 0;
    while (at < s.size() && isDigitAt(s, at, length)) {
        at += length;
        ++count;
    }
    return at;
}

bool isOneOf(std::string_view s, std::size_t at, std::string_view set) {
    return at < s.size() && set.find(s[at]) != std::string_view::npos;
}

std::size_t skipAll(std::string_view s, std::size_t at, std::string_view set) {
    while (isOneOf(s, at, set)) ++at;
    return at;
}

// --- Bracketed technical notes --------------------------------------------------------------

constexpr std::array<std::string_view, 15> kTechnicalWords = {
    "kbps", "kbit", "flac", "mp3", "wav", "aiff", "aac", "alac", "lossless", "320", "256", "192", "128", "vbr", "cbr",
};

// The case-insensitive forms of a code point that stand for ASCII text, as full case folding
// reads them: ASCII letters, and the few other characters that fold to the words' letters.
std::string_view asciiFold(char32_t cp, char& scratch) {
    if (cp < 0x80) {
        scratch = static_cast<char>(cp >= 'A' && cp <= 'Z' ? cp + 32 : cp);
        return {&scratch, 1};
    }
    switch (cp) {
        case 0x212A:
            return "k";  // KELVIN SIGN
        case 0x017F:
            return "s";  // LATIN SMALL LETTER LONG S
        case 0x00DF:
            return "ss";  // sharp s
        case 0x1E9E:
            return "ss";  // capital sharp s
        case 0xFB00:
            return "ff";
        case 0xFB01:
            return "fi";
        case 0xFB02:
            return "fl";
        case 0xFB03:
            return "ffi";
        case 0xFB04:
            return "ffl";
        case 0xFB05:
            return "st";
        case 0xFB06:
            return "st";
        default:
            return {};
    }
}

// The end of the shortest technical word that starts at `at` (whole code points, folded as
// above), or npos.
std::size_t technicalWordEnd(std::string_view s, std::size_t at) {
    std::size_t best = std::string_view::npos;
    for (const std::string_view word : kTechnicalWords) {
        std::size_t pos = at;
        std::size_t matched = 0;
        while (matched < word.size() && pos < s.size()) {
            const Scalar c = scalarAt(s, pos);
            if (!c.valid) break;
            char scratch = 0;
            const std::string_view folded = asciiFold(c.cp, scratch);
            if (folded.empty() || word.substr(matched, folded.size()) != folded) break;
            matched += folded.size();
            pos += c.length;
        }
        if (matched == word.size()) best = std::min(best, pos);
    }
    return best;
}

bool isOpener(char c) { return c == '(' || c == '['; }
bool isCloser(char c) { return c == ')' || c == ']'; }

// Replaces with one space each "(" or "[" ... ")" or "]" whose inside (no closer in it) holds a
// technical word, leftmost first. A bracket's match, if any, ends at the first closer after it;
// it exists when a word lies wholly between the two.
std::string removeTechnicalNotes(std::string_view s) {
    const std::size_t n = s.size();
    // latestWordStart[p]: the largest start of a technical word ending at or before p, or -1.
    std::vector<std::ptrdiff_t> latestWordStart(n + 1, -1);
    std::vector<std::ptrdiff_t> startsEndingAt(n + 1, -1);
    for (std::size_t q = 0; q < n; ++q) {
        if (isOpener(s[q]) || isCloser(s[q])) continue;
        const std::size_t end = technicalWordEnd(s, q);
        if (end != std::string_view::npos) startsEndingAt[end] = static_cast<std::ptrdiff_t>(q);
    }
    for (std::size_t p = 0; p <= n; ++p)
        latestWordStart[p] = std::max(p > 0 ? latestWordStart[p - 1] : -1, startsEndingAt[p]);
    // nextCloser[p]: the first closer at or after p, or n.
    std::vector<std::size_t> nextCloser(n + 1, n);
    for (std::size_t p = n; p-- > 0;) nextCloser[p] = isCloser(s[p]) ? p : nextCloser[p + 1];

    std::string out;
    out.reserve(n);
    for (std::size_t i = 0; i < n;) {
        if (isOpener(s[i])) {
            const std::size_t close = nextCloser[i + 1];
            if (close < n && latestWordStart[close] >= static_cast<std::ptrdiff_t>(i + 1)) {
                out += ' ';
                i = close + 1;
                continue;
            }
        }
        out += s[i++];
    }
    return out;
}

// --- Leading numbers --------------------------------------------------------------------------

// The length of a leading disc-track number such as "1-05 " with what separates it from the
// title: spaces, 1-2 digits, "-", 1-3 digits that a space or one of -_.) follows, then spaces,
// -_.) and spaces. 0 when the text does not start so.
std::size_t discTrackPrefix(std::string_view s) {
    std::size_t count = 0;
    std::size_t at = skipDigits(s, skipSpaces(s, 0), count);
    if (count < 1 || count > 2 || !isOneOf(s, at, "-")) return 0;
    at = skipDigits(s, at + 1, count);
    std::size_t length = 0;
    if (count < 1 || count > 3) return 0;
    if (!(isOneOf(s, at, "-_.)") || (at < s.size() && isSpaceAt(s, at, length)))) return 0;
    return skipSpaces(s, skipAll(s, skipSpaces(s, at), "-_.)"));
}

// After "cd", spaces and digits: spaces then at least one of -_. and space, ending right before
// a digit. The end of that run, or npos.
std::size_t discSeparatorEnd(std::string_view s, std::size_t at) {
    // The run's end is fixed (a digit must follow); it splits into spaces then -_. and space.
    std::size_t end = at;
    std::size_t length = 0;
    while (end < s.size() && (isOneOf(s, end, "-_.") || isSpaceAt(s, end, length)))
        end += isOneOf(s, end, "-_.") ? 1 : length;
    std::size_t sepStart = end;
    while (sepStart > at && isOneOf(s, sepStart - 1, "-_. ")) --sepStart;
    if (sepStart == end || skipSpaces(s, at) < sepStart) return std::string_view::npos;
    return end;
}

// The length of a leading track number: spaces, optionally "cd", a number and a separator, then
// 1-3 digits, spaces, at least one of -_.) and spaces. 0 when the text does not start so.
std::size_t trackPrefix(std::string_view s) {
    const std::size_t start = skipSpaces(s, 0);
    auto numberFrom = [&](std::size_t at) -> std::size_t {
        std::size_t count = 0;
        at = skipDigits(s, at, count);
        if (count < 1 || count > 3) return 0;
        const std::size_t sepStart = skipSpaces(s, at);
        const std::size_t sepEnd = skipAll(s, sepStart, "-_.)");
        if (sepEnd == sepStart) return 0;
        return skipSpaces(s, sepEnd);
    };
    if (s.substr(start, 2) == "cd") {
        std::size_t count = 0;
        const std::size_t digitsEnd = skipDigits(s, skipSpaces(s, start + 2), count);
        if (count > 0) {
            const std::size_t runEnd = discSeparatorEnd(s, digitsEnd);
            if (runEnd != std::string_view::npos) {
                if (const std::size_t end = numberFrom(runEnd)) return end;
            }
        }
    }
    return numberFrom(start);
}

}  // namespace

std::string normalize(std::string_view text) {
    std::string s = core::VolumeIndex::fold(removeTechnicalNotes(text));
    s.erase(0, discTrackPrefix(s));
    for (int pass = 0; pass < 2; ++pass) s.erase(0, trackPrefix(s));

    std::string out;
    out.reserve(s.size());
    bool pendingSpace = false;
    for (std::size_t at = 0; at < s.size();) {
        const Scalar c = scalarAt(s, at);
        if (c.valid && core::text::isAlphanumeric(c.cp)) {
            if (pendingSpace && !out.empty()) out += ' ';
            pendingSpace = false;
            out.append(s, at, c.length);
        } else {
            pendingSpace = true;
        }
        at += c.length;
    }
    return out;
}

std::optional<std::string> songKey(std::string_view fileName, const std::optional<core::AudioMeta>& meta) {
    auto longEnough = [](const std::string& text, std::size_t characters) {
        return core::text::graphemeCount(text) >= characters;
    };
    if (meta && !meta->artist.empty() && !meta->title.empty()) {
        const std::string artist = normalize(meta->artist);
        const std::string title = normalize(meta->title);
        if (longEnough(artist, 2) && longEnough(title, 2)) return artist + "|" + title;
    }
    const std::size_t dot = fileName.rfind('.');
    const std::string_view base = dot == std::string_view::npos || dot == 0 ? fileName : fileName.substr(0, dot);
    const std::string name = normalize(base);
    if (longEnough(name, 8) && base.find(" - ") != std::string_view::npos) return "f|" + name;
    return std::nullopt;
}

}  // namespace quorvanta::audio
