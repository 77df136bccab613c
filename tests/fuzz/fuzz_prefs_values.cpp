// Stored "categories" and "sources" texts as the preferences read them (PrefsValuesOracle.h).
#include "tests/fuzz/PrefsValuesOracle.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!quorvanta::fuzz::prefsValuesRoundTrip(std::string_view(reinterpret_cast<const char*>(data), size)))
        std::abort();
    return 0;
}
