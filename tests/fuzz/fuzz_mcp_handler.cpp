// libFuzzer harness for the MCP message handler; see MCPOracle.h for what it checks.
#include "tests/fuzz/MCPOracle.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = quorvanta::test::mcpMessageProblem({reinterpret_cast<const char*>(data), size});
    if (!problem.empty()) {
        std::fprintf(stderr, "MCP handler: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
