// "scan-times.json" text as the reader sees it (ScanTimesOracle.h).
#include "tests/fuzz/ScanTimesOracle.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!quorvanta::fuzz::scanTimesRoundTrip(std::string_view(reinterpret_cast<const char*>(data), size))) std::abort();
    return 0;
}
