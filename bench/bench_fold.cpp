// Folding throughput for the names a scan meets: ASCII (which the engine folds inline, shown for
// comparison), accented Latin and CJK. Reports names/s (items) and MB/s (bytes).
#include "QuorvantaCore/text/Fold.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> makeNames(int kind) {
    static const char* const latin[] = {"é", "è", "ü", "ö", "ñ", "ç", "Å", "ß", "É", "Ø"};
    std::mt19937 rng(1);
    std::vector<std::string> names;
    for (int i = 0; i < 4096; ++i) {
        std::string name;
        const int words = 2 + static_cast<int>(rng() % 3);
        for (int w = 0; w < words; ++w) {
            if (w) name += ' ';
            const int letters = 3 + static_cast<int>(rng() % 6);
            for (int k = 0; k < letters; ++k) {
                if (kind == 0 || (kind == 1 && rng() % 4 != 0)) {
                    name += static_cast<char>((rng() % 2 ? 'a' : 'A') + rng() % 26);
                } else if (kind == 1) {
                    name += latin[rng() % 10];
                } else {
                    const char32_t cp = 0x4E00 + rng() % 0x5000;  // CJK ideographs, 3 bytes each
                    name += static_cast<char>(0xE0 | (cp >> 12));
                    name += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                    name += static_cast<char>(0x80 | (cp & 0x3F));
                }
            }
        }
        name += kind == 2 ? ".txt" : ".JPG";
        names.push_back(name);
    }
    return names;
}

void report(benchmark::State& state, const std::vector<std::string>& names) {
    std::int64_t bytes = 0;
    for (const auto& n : names) bytes += static_cast<std::int64_t>(n.size());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(names.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
}

void BM_Fold(benchmark::State& state) {
    const auto names = makeNames(static_cast<int>(state.range(0)));
    for (auto _ : state)
        for (const auto& name : names) benchmark::DoNotOptimize(quorvanta::core::text::fold(name));
    report(state, names);
}

void BM_FoldHook(benchmark::State& state) {
    const auto names = makeNames(static_cast<int>(state.range(0)));
    std::vector<std::uint8_t> out(1024);
    for (auto _ : state) {
        for (const auto& name : names) {
            quorvanta_fold_hook(reinterpret_cast<const std::uint8_t*>(name.data()), name.size(), out.data());
            benchmark::DoNotOptimize(out.data());
        }
    }
    report(state, names);
}

}  // namespace

// Argument: 0 ASCII, 1 accented Latin, 2 CJK.
BENCHMARK(BM_Fold)->ArgName("script")->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_FoldHook)->ArgName("script")->Arg(0)->Arg(1)->Arg(2);
