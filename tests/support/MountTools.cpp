#include "tests/support/MountTools.h"

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

extern char** environ;

namespace quorvanta::test {

namespace fs = std::filesystem;

std::string findSystemProgram(const std::string& name) {
    for (const char* folder : {"/usr/sbin", "/sbin", "/usr/bin", "/bin"})
        if (access((fs::path(folder) / name).c_str(), X_OK) == 0) return (fs::path(folder) / name).string();
    return {};
}

int runQuietly(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string enterPrivateMountNamespace() {
    if (unshare(CLONE_NEWNS) != 0) return std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("making mounts private: ") + std::strerror(errno);
    return {};
}

std::string makeExt4Image(const std::string& image, const std::vector<std::string>& options) {
    const auto mkfs = findSystemProgram("mkfs.ext4");
    if (mkfs.empty()) return "mkfs.ext4 is not installed (package e2fsprogs)";
    const int fd = open(image.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return std::string("creating the image: ") + std::strerror(errno);
    close(fd);
    std::error_code ec;
    fs::resize_file(image, 16 << 20, ec);
    if (ec) return "sizing the image: " + ec.message();
    std::vector<std::string> args{mkfs, "-q", "-F"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(image);
    return runQuietly(args) == 0 ? std::string() : "mkfs.ext4 failed";
}

}  // namespace quorvanta::test
