// libFuzzer harness for the snapshot loader: the input becomes a file (a memfd, loaded through
// its /proc/self/fd path); see SnapshotOracle.h for what is checked.
#include "tests/fuzz/SnapshotOracle.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = memfd_create("fuzz.idx", MFD_CLOEXEC);
    if (fd < 0) return 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const std::string problem = done == size ? quorvanta::test::snapshotProblem(path.c_str()) : "";
    close(fd);
    if (!problem.empty()) {
        std::fprintf(stderr, "snapshot: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
