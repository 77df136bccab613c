// A floating-point number as the tool writes "a decimal": the shortest fixed-point text that reads
// back to the same value, with at least one digit after the point (44100.0, 124.5, 0.001).
// Not-a-number and infinities are written "nan", "inf" and "-inf".
#pragma once

#include <string>

namespace quorvanta::cli {

std::string decimal(double x);

}  // namespace quorvanta::cli
