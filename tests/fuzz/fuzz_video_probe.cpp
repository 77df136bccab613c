// libFuzzer harness for the results table's video probe (libavformat over our own reads, with
// further opens refused): the input is the file.
#include "tests/fuzz/VideoProbeInput.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvanta::test;
    const std::string problem = videoFactsProblem(probeVideoBytes(data, size), size);
    if (!problem.empty()) {
        std::fprintf(stderr, "video probe: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
