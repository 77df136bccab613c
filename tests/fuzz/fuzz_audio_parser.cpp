// libFuzzer harness for the whole audio parser: the first byte picks the extension the caller
// would pass, the rest is the file.
#include "audio/parser/AudioParser.h"
#include "tests/fuzz/AudioInput.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvanta;
    static const char* const kExts[] = {"mp3", "mp2", "flac", "wav", "aiff", "m4a", "txt", ""};
    if (size == 0) return 0;
    const char* ext = kExts[data[0] % 8];
    const int fd = test::audioInputFile(data + 1, size - 1);
    if (fd < 0) return 0;
    const auto meta = audio::AudioParser::parse(fd, ext);
    close(fd);
    const std::string problem = meta ? test::audioMetaProblem(*meta) : std::string{};
    if (!problem.empty()) {
        std::fprintf(stderr, "AudioParser: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
