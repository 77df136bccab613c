#include "audio/hash/Blake3.h"
#include "tests/support/Hex.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <random>
#include <string>

namespace quorvanta::audio {
namespace {

using test::hex;

// The reference digest from the b3sum program, which install-deps puts on every machine.
std::string b3sum(const std::filesystem::path& file) {
    const std::string command = "b3sum --no-names '" + file.string() + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    char line[256] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    const int status = pclose(pipe);
    if (!got || status != 0) return {};
    std::string digest(line);
    while (!digest.empty() && (digest.back() == '\n' || digest.back() == '\r')) digest.pop_back();
    return digest;
}

std::string seededBytes(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (auto& c : bytes) c = static_cast<char>(rng() & 0xFF);
    return bytes;
}

TEST(Blake3, MatchesB3sumForAnyUpdateSizes) {
    test::TempDir dir;
    ASSERT_FALSE(b3sum(dir.write("probe", "x")).empty()) << "b3sum is missing or failed: run scripts/install-deps";

    const std::size_t sizes[] = {0, 1, 1023, 1024, 1025, 65537, 3 * 1024 * 1024 + 17};
    const std::size_t chunkSizes[] = {1, 7, 1024, 65536, 1 << 22};
    for (std::size_t size : sizes) {
        const std::string data = seededBytes(size, static_cast<unsigned>(size) + 1);
        const std::string expected = b3sum(dir.write("input-" + std::to_string(size), data));
        ASSERT_EQ(expected.size(), 64u) << "b3sum gave no digest for " << size << " bytes";
        for (std::size_t chunk : chunkSizes) {
            if (chunk == 1 && size > 70000) continue;  // byte-at-a-time over megabytes adds nothing
            Blake3 hasher;
            for (std::size_t at = 0; at < size; at += chunk)
                hasher.update(data.data() + at, std::min(chunk, size - at));
            EXPECT_EQ(hex(hasher.finalize(32)), expected) << size << " bytes fed in updates of " << chunk;
        }
    }
}

TEST(Blake3, ShortOutputIsPrefixOfLongOutput) {
    Blake3 hasher;
    hasher.update(std::string_view("quorvanta"));
    const auto full = hasher.finalize(32);
    std::array<std::uint8_t, 16> shortOut{};
    hasher.finalize(shortOut);
    EXPECT_TRUE(std::equal(shortOut.begin(), shortOut.end(), full.begin()))
        << hex(shortOut) << " is not a prefix of " << hex(full);
}

}  // namespace
}  // namespace quorvanta::audio
