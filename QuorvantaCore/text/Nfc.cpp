#include "QuorvantaCore/text/Nfc.h"

#include "QuorvantaCore/text/Grapheme.h"
#include "QuorvantaCore/text/Utf8.h"

#include <utf8proc.h>

#include <vector>

namespace quorvanta::core::text {
namespace {

constexpr utf8proc_int32_t kVowelJamoOYae = 0x11A7;

// Code points of one cluster while it is composed; grows to the largest cluster this thread saw.
std::vector<utf8proc_int32_t>& scratch() {
    thread_local std::vector<utf8proc_int32_t> buffer(64);
    return buffer;
}

// A lone code point that is its own NFC: no canonical decomposition and no chance to compose
// with a neighbour, because it is the whole cluster.
bool composedAlone(std::string_view cluster) {
    char32_t cp = 0;
    if (decodeUtf8(cluster, 0, cp) != cluster.size()) return false;
    const utf8proc_property_t* prop = utf8proc_get_property(static_cast<utf8proc_int32_t>(cp));
    return prop->decomp_seqindex == UINT16_MAX || prop->decomp_type != 0;  // none, or compatibility
}

void appendComposed(std::string& out, std::string_view cluster) {
    auto& buffer = scratch();
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(cluster.data());
    const auto length = static_cast<utf8proc_ssize_t>(cluster.size());
    utf8proc_ssize_t count = 0;
    for (;;) {
        count = utf8proc_decompose_custom(bytes, length, buffer.data(), static_cast<utf8proc_ssize_t>(buffer.size()),
                                          UTF8PROC_DECOMPOSE, nullptr, nullptr);
        if (count < 0) {  // cannot happen for a well-formed cluster; keep its bytes regardless
            out += cluster;
            return;
        }
        if (static_cast<std::size_t>(count) <= buffer.size()) break;
        buffer.resize(static_cast<std::size_t>(count));
    }
    // utf8proc 2.8 takes U+11A7 (a vowel jamo) after a Hangul syllable for a final consonant of
    // index 0 and drops it. U+11A7 is a starter that composes with nothing, and a starter blocks
    // every composition across it, so composing the runs before and from each U+11A7 apart gives
    // the same result as composing the whole.
    utf8proc_ssize_t start = 0;
    while (start < count) {
        utf8proc_ssize_t end = start + 1;
        while (end < count && buffer[end] != kVowelJamoOYae) ++end;
        const utf8proc_ssize_t composed =
            utf8proc_normalize_utf32(buffer.data() + start, end - start, UTF8PROC_COMPOSE);
        for (utf8proc_ssize_t i = start; i < start + composed; ++i) {
            utf8proc_uint8_t encoded[4];
            const auto n = utf8proc_encode_char(buffer[i], encoded);
            out.append(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(n));
        }
        start = end;
    }
}

}  // namespace

std::string nfc(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        // An ASCII byte before another ASCII byte (or the end) is a cluster that NFC leaves alone.
        if (static_cast<unsigned char>(text[at]) < 0x80 &&
            (at + 1 == text.size() || static_cast<unsigned char>(text[at + 1]) < 0x80)) {
            out += text[at++];
            continue;
        }
        const std::size_t end = graphemeEnd(text, at);
        const std::string_view cluster = text.substr(at, end - at);
        char32_t cp = 0;
        if ((end - at == 1 && decodeUtf8(text, at, cp) == 0) || composedAlone(cluster))
            out += cluster;  // an ill-formed byte, or a code point that is its own NFC
        else
            appendComposed(out, cluster);
        at = end;
    }
    return out;
}

}  // namespace quorvanta::core::text
