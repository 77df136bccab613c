#include "quorvanta_cli/Decimal.h"

#include <charconv>
#include <cmath>

namespace quorvanta::cli {

std::string decimal(double x) {
    if (std::isnan(x)) return "nan";
    if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
    char text[400];  // the longest fixed form of a double is under 330 characters
    const auto end = std::to_chars(text, text + sizeof text, x, std::chars_format::fixed).ptr;
    std::string out(text, end);
    if (out.find('.') == std::string::npos) out += ".0";
    return out;
}

}  // namespace quorvanta::cli
