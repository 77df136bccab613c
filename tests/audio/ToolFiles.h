// Audio files made at test time by the encoders and taggers that install-deps puts on every
// machine, and ffprobe's view of them as the reference. A suite makes its files once, in
// SetUpTestSuite, into a folder that lives as long as the test program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::audio::test {

// The first of the programs that is missing (empty when all are there).
std::string missingTool(const std::vector<std::string>& programs);

// Runs a shell command line with its output discarded; true when it exited 0.
bool run(const std::string& commandLine);

// Runs each command line in turn; gives the ones that failed, one a line (empty when none did).
std::string runAll(const std::vector<std::string>& commandLines);

// A path quoted for the shell.
std::string quoted(const std::filesystem::path& path);

// A folder for one suite's files, removed when the test program ends.
std::filesystem::path toolFolder(const std::string& suite);

struct Probe {
    std::uint32_t sampleRate = 0;
    std::uint32_t channels = 0;
    double seconds = 0;              // the container's duration
    std::uint64_t packets = 0;       // packets actually counted
    std::string sampleFormat;        // ffprobe's sample_fmt
    std::uint32_t bitsPerRawSample = 0;
};
std::optional<Probe> probe(const std::filesystem::path& file);

}  // namespace quorvanta::audio::test

// Skips the test when a program is missing (naming it), except in CI, where it fails.
#define AUDIO_REQUIRE_TOOLS(...)                                                                   \
    do {                                                                                           \
        const std::string missing_ = ::quorvanta::audio::test::missingTool({__VA_ARGS__});         \
        if (!missing_.empty()) {                                                                   \
            if (std::getenv("CI")) FAIL() << "missing program " << missing_;                       \
            GTEST_SKIP() << "missing program " << missing_ << " (scripts/install-deps installs it)"; \
        }                                                                                          \
    } while (false)
