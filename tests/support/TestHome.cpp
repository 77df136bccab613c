#include "tests/support/TestHome.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace quorvanta::test {

std::optional<std::filesystem::path> setUpTestHome() {
    namespace fs = std::filesystem;
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/quorvanta-test-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return std::nullopt;
    }
    const fs::path root = pattern;
    for (const char* sub : {"home", "config", "data", "tmp"}) fs::create_directory(root / sub);
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("TMPDIR", (root / "tmp").c_str(), 1);
    return root;
}

void removeTestHome(const std::filesystem::path& root) {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
}

}  // namespace quorvanta::test
