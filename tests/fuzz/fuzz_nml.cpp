// A Traktor collection's bytes as the reader sees them (NMLOracle.h).
#include "tests/fuzz/NMLOracle.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!quorvanta::fuzz::nmlReadIsConsistent(std::string_view(reinterpret_cast<const char*>(data), size)))
        std::abort();
    return 0;
}
