// libFuzzer harness for the query parser: any bytes give a query that keeps the model's
// invariants, or a QueryError with a message.
#include "QuorvantaCore/query/QueryParser.h"
#include "tests/fuzz/QueryInvariants.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvanta::core;
    using namespace std::chrono;
    static const Calendar calendar = *Calendar::named("Europe/Berlin");
    static const system_clock::time_point now = sys_days{2024y / March / 31} + 12h;
    try {
        const Query query = QueryParser::parse({reinterpret_cast<const char*>(data), size}, now, calendar);
        const std::string broken = quorvanta::test::brokenInvariant(query);
        if (!broken.empty()) {
            std::fprintf(stderr, "query parser broke an invariant: %s\n", broken.c_str());
            std::abort();
        }
    } catch (const QueryError& error) {
        if (error.message().empty()) {
            std::fprintf(stderr, "query parser threw an empty message\n");
            std::abort();
        }
    }
    return 0;
}
