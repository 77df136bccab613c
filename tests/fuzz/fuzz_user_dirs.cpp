// user-dirs.dirs text as the reader sees it (UserDirsOracle.h).
#include "tests/fuzz/UserDirsOracle.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!quorvanta::fuzz::userDirsKeepTheirShape(std::string_view(reinterpret_cast<const char*>(data), size)))
        std::abort();
    return 0;
}
