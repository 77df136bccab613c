// libFuzzer harness for the ID3v2 tag walk and the tag rules (frame text, genre, year, tempo).
#include "audio/formats/ID3.h"
#include "tests/fuzz/AudioInput.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvanta;
    std::string problem;
    const int fd = test::audioInputFile(data, size);
    if (fd >= 0) {
        if (auto reader = audio::Reader::fromDescriptor(fd)) {
            core::AudioMeta meta;
            const std::uint64_t end = audio::ID3::parse(*reader, 0, meta);
            if (end != audio::ID3::tagEnd(*reader, 0)) problem = "parse and tagEnd disagree";
            if (problem.empty()) problem = test::audioMetaProblem(meta);
        }
        close(fd);
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (problem.empty()) problem = test::audioTextProblem("frameText", audio::ID3::frameText({data, size}));
    if (problem.empty() && size < 4096) {
        const std::string genre = audio::ID3::genreName(text);
        if (core::text::isValidUtf8(text) && !core::text::isValidUtf8(genre)) problem = "genre broke UTF-8";
    }
    const std::uint16_t year = audio::ID3::year(text);
    if (year != 0 && year < 1000) problem = "year below 1000";
    if (audio::ID3::bpm10(text) >= 6000) problem = "tempo at or above 600";
    if (!problem.empty()) {
        std::fprintf(stderr, "ID3: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
