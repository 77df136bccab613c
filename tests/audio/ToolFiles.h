// Audio files made at test time by the encoders and taggers that install-deps puts on every
// machine, and ffprobe's view of them as the reference. A suite makes its files once, in
// SetUpTestSuite, into a folder that lives as long as the test program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
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

// The files one suite makes once, in toolFolder(suite), with the programs it names.
struct ToolFileSet {
    std::vector<std::string> programs;
    std::filesystem::path dir;
    std::string failed;  // the command lines that failed, one a line (empty when none did)

    std::filesystem::path operator/(std::string_view name) const { return dir / name; }
};

// A file of the suite's folder, quoted for the shell.
using FileNamer = std::function<std::string(std::string_view name)>;

// Runs, in order, the command lines that `commands` gives for the suite's folder. Runs nothing
// when one of the programs is missing; the tests then skip through AUDIO_REQUIRE_TOOL_FILES.
ToolFileSet makeToolFiles(const std::string& suite, std::vector<std::string> programs,
                          const std::function<std::vector<std::string>(const FileNamer& file)>& commands);

// The start of an ffmpeg command line whose input is a 440 Hz sine at 44.1 kHz; output options follow.
std::string ffmpegSine(int seconds = 3);

struct Probe {
    std::uint32_t sampleRate = 0;
    std::uint32_t channels = 0;
    double seconds = 0;         // the container's duration
    std::uint64_t packets = 0;  // packets actually counted
    std::string sampleFormat;   // ffprobe's sample_fmt
    std::uint32_t bitsPerRawSample = 0;
};
std::optional<Probe> probe(const std::filesystem::path& file);

}  // namespace quorvanta::audio::test

// Skips the test when a program is missing (naming it), except in CI, where it fails.
#define AUDIO_REQUIRE_TOOLS(...)                                                                     \
    do {                                                                                             \
        const std::string missing_ = ::quorvanta::audio::test::missingTool({__VA_ARGS__});           \
        if (!missing_.empty()) {                                                                     \
            if (std::getenv("CI")) FAIL() << "missing program " << missing_;                         \
            GTEST_SKIP() << "missing program " << missing_ << " (scripts/install-deps installs it)"; \
        }                                                                                            \
    } while (false)

// As AUDIO_REQUIRE_TOOLS for the programs of a ToolFileSet; then fails when a command failed.
#define AUDIO_REQUIRE_TOOL_FILES(files)                                                              \
    do {                                                                                             \
        const std::string missing_ = ::quorvanta::audio::test::missingTool((files).programs);        \
        if (!missing_.empty()) {                                                                     \
            if (std::getenv("CI")) FAIL() << "missing program " << missing_;                         \
            GTEST_SKIP() << "missing program " << missing_ << " (scripts/install-deps installs it)"; \
        }                                                                                            \
        ASSERT_EQ((files).failed, "") << "the commands above failed";                                \
    } while (false)
