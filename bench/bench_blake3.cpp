// BLAKE3 throughput for the update sizes the duplicate finder uses.
#include "audio/hash/Blake3.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

static void BM_Blake3Update(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> data(size, 0x5A);
    for (auto _ : state) {
        quorvanta::audio::Blake3 hasher;
        hasher.update(data.data(), data.size());
        std::uint8_t out[16];
        hasher.finalize(out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Blake3Update)->Arg(16 << 10)->Arg(1 << 20);
