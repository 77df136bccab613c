// Shared main of every test program: each run gets a fresh temporary home, so no test reads or
// writes the real user's settings, data folder or temporary files.
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/quorvanta-test-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 2;
    }
    const fs::path root = pattern;
    for (const char* sub : {"home", "config", "data", "tmp"}) fs::create_directory(root / sub);
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("TMPDIR", (root / "tmp").c_str(), 1);

    testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();

    std::error_code ec;
    fs::remove_all(root, ec);
    return rc;
}
