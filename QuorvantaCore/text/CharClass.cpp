#include "QuorvantaCore/text/CharClass.h"

#include "QuorvantaCore/text/Utf8.h"

#include <utf8proc.h>

namespace quorvanta::core::text {
namespace {

utf8proc_category_t category(char32_t cp) { return utf8proc_category(static_cast<utf8proc_int32_t>(cp)); }

template <class Test>
bool firstCodePointIs(std::string_view character, Test test) {
    char32_t cp = 0;
    return decodeUtf8(character, 0, cp) != 0 && test(cp);
}

template <class Test>
std::string_view trim(std::string_view text, Test test) {
    std::size_t start = 0;
    while (start < text.size()) {
        char32_t cp = 0;
        const std::size_t len = decodeUtf8(text, start, cp);
        if (len == 0 || !test(cp)) break;
        start += len;
    }
    std::size_t end = text.size();
    while (end > start) {
        char32_t cp = 0;
        const std::size_t len = decodeUtf8Before(text, end, cp);
        if (len == 0 || !test(cp)) break;
        end -= len;
    }
    return text.substr(start, end - start);
}

}  // namespace

bool isNumeric(char32_t cp) {
    const auto c = category(cp);
    return c == UTF8PROC_CATEGORY_ND || c == UTF8PROC_CATEGORY_NL || c == UTF8PROC_CATEGORY_NO;
}

bool isDecimalDigit(char32_t cp) { return category(cp) == UTF8PROC_CATEGORY_ND; }

bool isAlphanumeric(char32_t cp) {
    switch (category(cp)) {
        case UTF8PROC_CATEGORY_LU:
        case UTF8PROC_CATEGORY_LL:
        case UTF8PROC_CATEGORY_LT:
        case UTF8PROC_CATEGORY_LM:
        case UTF8PROC_CATEGORY_LO:
        case UTF8PROC_CATEGORY_MN:
        case UTF8PROC_CATEGORY_MC:
        case UTF8PROC_CATEGORY_ME:
        case UTF8PROC_CATEGORY_ND:
        case UTF8PROC_CATEGORY_NL:
        case UTF8PROC_CATEGORY_NO:
            return true;
        default:
            return false;
    }
}

bool isWhiteSpace(char32_t cp) {
    return (cp >= 0x09 && cp <= 0x0D) || cp == 0x85 || cp == 0x2028 || cp == 0x2029 ||
           category(cp) == UTF8PROC_CATEGORY_ZS;
}

bool isBlank(char32_t cp) { return cp == 0x09 || category(cp) == UTF8PROC_CATEGORY_ZS; }

bool isNumeric(std::string_view character) {
    return firstCodePointIs(character, [](char32_t cp) { return isNumeric(cp); });
}

bool isAlphanumeric(std::string_view character) {
    return firstCodePointIs(character, [](char32_t cp) { return isAlphanumeric(cp); });
}

std::string_view trimWhiteSpace(std::string_view text) {
    return trim(text, [](char32_t cp) { return isWhiteSpace(cp); });
}

std::string_view trimBlanks(std::string_view text) {
    return trim(text, [](char32_t cp) { return isBlank(cp); });
}

std::vector<std::string_view> splitAtWhiteSpace(std::string_view text, std::string_view alsoAt) {
    std::vector<std::string_view> pieces;
    std::size_t pieceStart = 0;
    std::size_t at = 0;
    auto endPiece = [&](std::size_t end) {
        if (end > pieceStart) pieces.push_back(text.substr(pieceStart, end - pieceStart));
    };
    while (at < text.size()) {
        char32_t cp = 0;
        std::size_t len = decodeUtf8(text, at, cp);
        const bool separator =
            len != 0 &&
            ((cp < 0x80 && alsoAt.find(static_cast<char>(cp)) != std::string_view::npos) || isWhiteSpace(cp));
        if (len == 0) len = 1;
        if (separator) {
            endPiece(at);
            pieceStart = at + len;
        }
        at += len;
    }
    endPiece(text.size());
    return pieces;
}

}  // namespace quorvanta::core::text
