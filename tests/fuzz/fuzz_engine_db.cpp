// An Engine DJ database's bytes as the reader sees them (EngineDbOracle.h), through a file in a
// folder of its own under $TMPDIR (or /tmp), made once per run.
#include "tests/fuzz/EngineDbOracle.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

const std::filesystem::path& folder() {
    static const std::filesystem::path made = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_engine_db.XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        return std::filesystem::path(pattern);
    }();
    return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!quorvanta::fuzz::engineReadIsSound(std::string_view(reinterpret_cast<const char*>(data), size), folder()))
        std::abort();
    return 0;
}
