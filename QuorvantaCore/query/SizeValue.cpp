// The size filter's values: byte counts with units that are powers of 1024 ("kb" is 1,024 bytes
// here, unlike the decimal units sizes are shown in). (Fills in QueryParser.h.)
#include "QuorvantaCore/query/QueryParser.h"
#include "QuorvantaCore/query/ValueSyntax.h"

#include "QuorvantaCore/text/Case.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace quorvanta::core {
namespace {

using namespace value_syntax;

const std::unordered_map<std::string_view, std::uint64_t>& units() {
    static const std::unordered_map<std::string_view, std::uint64_t> table = {
        {"", 1},
        {"b", 1},
        {"k", 1ull << 10},
        {"kb", 1ull << 10},
        {"kib", 1ull << 10},
        {"m", 1ull << 20},
        {"mb", 1ull << 20},
        {"mib", 1ull << 20},
        {"g", 1ull << 30},
        {"gb", 1ull << 30},
        {"gib", 1ull << 30},
        {"t", 1ull << 40},
        {"tb", 1ull << 40},
        {"tib", 1ull << 40},
    };
    return table;
}

}  // namespace

std::uint64_t QueryParser::sizeValue(std::string_view piece) {
    const std::string lower = text::lowercased(piece);
    const std::string_view text = lower;
    const std::size_t run = numberRunLength(text, ".");
    const auto value = readDouble(text.substr(0, run));
    if (!value) fail("size", piece);
    const auto unit = units().find(text.substr(run));
    if (unit == units().end()) fail("size", piece);
    // 2^64 and beyond do not fit; the comparison is exact, as 2^64 is a double.
    const double bytes = *value * static_cast<double>(unit->second);
    if (!(bytes < 18446744073709551616.0)) fail("size", piece);
    return static_cast<std::uint64_t>(bytes);
}

ClosedRange<std::uint64_t> QueryParser::parseSize(std::string_view value) {
    if (const auto sides = rangeSides(value)) {
        const std::uint64_t a = sizeValue(sides->first);
        const std::uint64_t b = sizeValue(sides->second);
        return {std::min(a, b), std::max(a, b)};
    }
    const auto [prefix, rest] = splitPrefix(value);
    const std::uint64_t v = sizeValue(rest);
    return compared(prefix, v, v);
}

}  // namespace quorvanta::core
