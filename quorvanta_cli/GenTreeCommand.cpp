#include "quorvanta_cli/GenTreeCommand.h"

#include "platform/fs/PathText.h"
#include "platform/fs/XdgDirs.h"
#include "platform/volumes/ExternalDrives.h"
#include "quorvanta_cli/Commands.h"
#include "quorvanta_cli/Options.h"
#include "quorvanta_cli/Shared.h"
#include "quorvanta_cli/Tool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <random>
#include <string>

namespace quorvanta::cli {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kRootPrefix = "QuorvantaTestTree";
constexpr int kFilesPerFolder = 50;
constexpr int kSubfoldersPerFolder = 20;
constexpr int kDeepestWithSubfolders = 5;
constexpr std::int64_t kNameCycle = 997;
constexpr std::array<const char*, 10> kExtensions{"mp3", "flac", "wav", "aiff", "jpg",
                                                  "txt", "pdf",  "mov", "zip",  "swift"};

std::optional<fs::path> realPath(const fs::path& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::nullopt;
    fs::path result = resolved;
    std::free(resolved);
    return result;
}

bool lexists(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Creates the tree depth first through folder descriptors, so no component is ever looked up
// through a link planted in the tree.
class TreeWriter {
public:
    explicit TreeWriter(std::int64_t target) : target_(target) {}

    void fill(int parentFd, const std::string& name, int depth) {
        if (counts_.files >= target_) return;
        if (parentFd >= 0) ::mkdirat(parentFd, name.c_str(), 0755);
        ++counts_.dirs;
        const int fd =
            parentFd >= 0 ? ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
        for (int j = 0; j < kFilesPerFolder && counts_.files < target_; ++j) {
            const char* ext = kExtensions[random_() % kExtensions.size()];
            const std::string file =
                "track_" + std::to_string(j) + "_" + std::to_string(counts_.files % kNameCycle) + " remix." + ext;
            // No truncation, no following a planted link, no waiting on a FIFO without a reader.
            if (fd >= 0) {
                const int out =
                    ::openat(fd, file.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
                if (out >= 0) ::close(out);
            }
            ++counts_.files;
        }
        if (depth <= kDeepestWithSubfolders)
            for (int k = 0; k < kSubfoldersPerFolder && counts_.files < target_; ++k)
                fill(fd, "d" + std::to_string(k), depth + 1);
        if (fd >= 0) ::close(fd);
    }

    bool done() const { return counts_.files >= target_; }
    const GenTreeCounts& counts() const { return counts_; }

private:
    std::int64_t target_;
    GenTreeCounts counts_;
    // A fixed seed: a second run over the same root names the same files, and every benchmark
    // tree of one size is the same tree.
    std::mt19937_64 random_{0x5175'6f72'7661'6e74ull};
};

// Opens (creating where missing) each component of relative below the folder fd, never following
// a link. Takes ownership of fd; -1 when a component cannot be entered.
int enter(int fd, const fs::path& relative) {
    for (const auto& component : relative) {
        if (fd < 0) break;
        ::mkdirat(fd, component.c_str(), 0755);
        const int next = ::openat(fd, component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    return fd;
}

}  // namespace

std::optional<GenTreeTarget> genTreeTarget(std::string_view pathText, const fs::path& home) {
    if (!home.is_absolute()) return std::nullopt;
    std::string expanded(pathText);
    if (!expanded.empty() && expanded.front() == '~') expanded = home.string() + expanded.substr(1);
    const fs::path root = platform::normalisedPath(expanded);
    const fs::path normalHome = platform::normalisedPath(home.native());
    if (normalHome == normalHome.root_path() || root == normalHome ||
        !platform::isSameOrUnder(root.native(), normalHome.native()))
        return std::nullopt;
    if (!root.filename().string().starts_with(kRootPrefix)) return std::nullopt;
    if (platform::isUnderExternalDriveFolder(root)) return std::nullopt;

    const auto realHome = realPath(normalHome);
    if (!realHome) return std::nullopt;
    // The deepest existing folder on the way, the root itself included, must really be in home.
    fs::path existing = root;
    while (!lexists(existing)) existing = existing.parent_path();
    const auto realExisting = realPath(existing);
    if (!realExisting || !platform::isSameOrUnder(realExisting->native(), realHome->native())) return std::nullopt;

    // Creation starts below the deepest existing parent, so the root's own name is never
    // followed if it is a link.
    fs::path parent = root.parent_path();
    while (!lexists(parent)) parent = parent.parent_path();
    const auto realParent = realPath(parent);
    if (!realParent || !platform::isSameOrUnder(realParent->native(), realHome->native())) return std::nullopt;
    return GenTreeTarget{root, *realParent, root.lexically_relative(parent)};
}

GenTreeCounts genTree(const GenTreeTarget& target, std::int64_t files) {
    const int parentFd = ::open(target.existingParent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int rootFd = parentFd >= 0 ? enter(parentFd, target.toCreate) : -1;
    TreeWriter writer(files);
    for (std::int64_t i = 0; !writer.done(); ++i) writer.fill(rootFd, "top" + std::to_string(i), 0);
    if (rootFd >= 0) ::close(rootFd);
    return writer.counts();
}

int genTreeCommand(Cli& cli) {
    const auto path = cli.args.at(1);
    if (!path) usageExit(cli, "gen-tree");
    const std::int64_t files = cli.args.number(options::genTree::files);
    const auto target = genTreeTarget(*path, platform::homeDir());
    if (!target) {
        cli.out << "refusing: gen-tree only writes to ~/QuorvantaTestTree*\n";
        return kRefused;
    }
    const double start = now();
    const GenTreeCounts counts = genTree(*target, files);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", now() - start);
    cli.out << "gen-tree: " << counts.files << " files, " << counts.dirs << " dirs in " << seconds << " s\n";
    return kSuccess;
}

}  // namespace quorvanta::cli
