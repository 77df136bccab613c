#include "QuorvantaCore/text/Case.h"

#include "QuorvantaCore/text/Utf8.h"

#include <utf8proc.h>

#include <vector>

namespace quorvanta::core::text {
namespace {

void appendUtf8(std::string& out, utf8proc_int32_t cp) {
    utf8proc_uint8_t bytes[4];
    const auto n = utf8proc_encode_char(cp, bytes);
    out.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n));
}

// The text as code points in canonical caseless form (full case folding, then canonical
// decomposition and ordering). An ill-formed byte b becomes -1 - b, which no code point equals.
std::vector<utf8proc_int32_t> caselessKey(std::string_view text) {
    std::vector<utf8proc_int32_t> key;
    const auto options = static_cast<utf8proc_option_t>(UTF8PROC_DECOMPOSE | UTF8PROC_CASEFOLD);
    auto appendRun = [&](std::size_t start, std::size_t end) {
        if (end == start) return;
        const auto* run = reinterpret_cast<const utf8proc_uint8_t*>(text.data() + start);
        const auto len = static_cast<utf8proc_ssize_t>(end - start);
        const std::size_t base = key.size();
        key.resize(base + (end - start) * 2);  // a first guess; the call says how much it needs
        for (;;) {
            const auto room = static_cast<utf8proc_ssize_t>(key.size() - base);
            const auto count = utf8proc_decompose_custom(run, len, key.data() + base, room, options, nullptr, nullptr);
            if (count >= 0 && count <= room) {
                key.resize(base + static_cast<std::size_t>(count));
                return;
            }
            if (count < 0) {  // cannot happen for a well-formed run
                key.resize(base);
                for (std::size_t i = start; i < end; ++i) key.push_back(-1 - static_cast<unsigned char>(text[i]));
                return;
            }
            key.resize(base + static_cast<std::size_t>(count));
        }
    };
    std::size_t runStart = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        char32_t cp = 0;
        const std::size_t len = decodeUtf8(text, at, cp);
        if (len != 0) {
            at += len;
            continue;
        }
        appendRun(runStart, at);
        key.push_back(-1 - static_cast<unsigned char>(text[at]));
        runStart = ++at;
    }
    appendRun(runStart, at);
    return key;
}

}  // namespace

std::string lowercased(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto b = static_cast<unsigned char>(text[at]);
        if (b < 0x80) {
            out += static_cast<char>(asciiLower(b));
            ++at;
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = decodeUtf8(text, at, cp);
        if (len == 0) {
            out += static_cast<char>(b);
            ++at;
            continue;
        }
        if (cp == 0x130) {  // the one unconditional lower-case mapping to two code points
            out += 'i';
            appendUtf8(out, 0x307);
        } else {
            appendUtf8(out, utf8proc_tolower(static_cast<utf8proc_int32_t>(cp)));
        }
        at += len;
    }
    return out;
}

bool caselessEqual(std::string_view a, std::string_view b) {
    if (a == b) return true;
    return caselessKey(a) == caselessKey(b);
}

}  // namespace quorvanta::core::text
