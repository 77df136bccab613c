// libFuzzer harness for the audio table file reader; see AudioTableOracle.h for what it checks.
#include "tests/fuzz/AudioTableOracle.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = quorvanta::test::audioImageProblem({data, size});
    if (!problem.empty()) {
        std::fprintf(stderr, "audio table image: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
