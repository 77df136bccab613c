#include "platform/fs/ReadWholeFile.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <optional>
#include <string>

namespace quorvanta::platform {
namespace {

TEST(ReadWholeFile, ReadsSmallRegularFilesOnly) {
    const test::TempDir dir;
    const auto file = dir.write("file", "hello\n");
    const auto empty = dir.write("empty", "");
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    const struct {
        const char* name;
        std::filesystem::path path;
        std::size_t maxBytes;
        std::optional<std::string> expected;
    } cases[] = {
        {"regular file", file, 100, "hello\n"},
        {"exactly the bound", file, 6, "hello\n"},
        {"one byte over the bound", file, 5, std::nullopt},
        {"empty file", empty, 0, ""},
        {"missing", dir / "missing", 100, std::nullopt},
        {"folder", dir.path(), 100, std::nullopt},
        {"FIFO without a writer", fifo, 100, std::nullopt},
        {"character device", "/dev/zero", 100, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(readWholeFile(c.path, c.maxBytes), c.expected) << c.name;
}

}  // namespace
}  // namespace quorvanta::platform
