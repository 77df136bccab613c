// libFuzzer harness for the "global.ord" reader: the input becomes a file (a memfd, read through
// its /proc/self/fd path) and is checked against three small volumes of the harness's own, with
// hits on about half of their entries; see GlobalOrderOracle.h for what is checked. The store ids
// of the first three volumes in the input are replaced by those volumes' (random) ids, so that a
// fuzzed header can match them and the walk runs over volumes the order serves.
#include "tests/QuorvantaCore/search/InMemoryIndex.h"
#include "tests/fuzz/GlobalOrderOracle.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Volumes {
    std::vector<std::shared_ptr<quorvanta::core::VolumeIndex>> indexes;
    std::vector<std::vector<std::uint32_t>> hits;

    Volumes() {
        using quorvanta::core::test::buildIndex;
        indexes = {buildIndex({{"/a"}, {"Café", 0}, {"beta", 0}, {"CAFÉ", 0}, {"delta", 0}, {"x", 0}, {"Zeta", 0}}),
                   buildIndex({{"/b"}, {"café", 0}, {"alpha", 0}, {"CAFE", 0}, {"gamma", 0}}),
                   buildIndex({{"/c"}, {"Ω", 0}, {"ω", 0}, {"a", 0}})};
        for (const auto& index : indexes) {
            hits.emplace_back();
            for (std::uint32_t e = 1; e < index->count(); e += 2) hits.back().push_back(e);
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Volumes volumes;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (std::size_t i = 0; i < volumes.indexes.size() && 24 + 16 * i <= bytes.size(); ++i) {
        const std::uint64_t id = volumes.indexes[i]->storeID();
        for (int b = 0; b < 8; ++b) bytes[16 + 16 * i + b] = static_cast<char>(id >> (8 * b));
    }
    const int fd = memfd_create("fuzz.ord", MFD_CLOEXEC);
    if (fd < 0) return 0;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const std::string problem =
        done == bytes.size() ? quorvanta::fuzz::globalOrderProblem(path, volumes.indexes, volumes.hits) : "";
    close(fd);
    if (!problem.empty()) {
        std::fprintf(stderr, "global order: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
