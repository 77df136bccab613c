// A run of one of the application's programs (quorvanta-headless, Quorvanta) as a user runs it: a
// private home whose settings file is written first, the program left running, asked from outside
// through the built quorvanta-cli, and ended with a signal. Header only: the programs that use it
// link the core (snapshot headers, JSON).
#pragma once

#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/json/JSONText.h"
#include "tests/support/PollFor.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <nlohmann/json.hpp>

#include <signal.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvanta::test {

// What `find <root>` prints: the root and everything below it.
inline std::int64_t findCount(const std::string& root) {
    return 1 + static_cast<std::int64_t>(std::distance(std::filesystem::recursive_directory_iterator(root), {}));
}

class AppRun {
public:
    // Starts `program` with `args` in a home whose settings file is written with `settings` first:
    // `options.home`, or a fresh one of its own.
    AppRun(std::filesystem::path program, std::filesystem::path cli, const nlohmann::json& settings,
           const std::vector<std::string>& args, RunOptions options = {})
        : cli_(std::move(cli)) {
        if (!options.home) ownHome_.emplace();
        home_ = options.home ? *options.home : ownHome_->path();
        options.home = home_;
        std::filesystem::create_directories(home_ / ".config/Quorvanta");
        std::ofstream(home_ / ".config/Quorvanta/settings.json") << settings.dump();
        program_.emplace(program, args, options);
    }

    const std::filesystem::path& home() const { return home_; }
    std::filesystem::path data() const { return home_ / ".local/share/Quorvanta"; }
    std::string socket() const { return (data() / "api.sock").string(); }
    bool socketExists() const { return std::filesystem::exists(std::filesystem::symlink_status(socket())); }
    pid_t pid() const { return program_->pid(); }

    // The tool's reply, parsed; none when it failed.
    std::optional<nlohmann::json> api(const std::vector<std::string>& args) const {
        std::vector<std::string> all{"api"};
        all.insert(all.end(), args.begin(), args.end());
        all.insert(all.end(), {"--socket", socket()});
        RunOptions options;
        options.killAfter = std::chrono::seconds(60);
        const auto r = runProgram(cli_, all, options);
        if (r.status != 0) return std::nullopt;
        auto parsed = core::parseJSONStrict(r.out);
        if (!parsed || !parsed->is_object()) return std::nullopt;
        return *parsed;
    }

    // Root → entries of the volumes in the status reply once none scans; empty until then.
    std::map<std::string, std::int64_t> scannedVolumes() const {
        const auto status = api({"status"});
        std::map<std::string, std::int64_t> volumes;
        if (!status) return volumes;
        for (const auto& volume : (*status)["volumes"]) {
            if (volume["scanning"].get<bool>()) return {};
            volumes[volume["root"].get<std::string>()] = volume["entries"].get<std::int64_t>();
        }
        return volumes;
    }

    // The snapshot files in the data folder, by the root they hold.
    std::map<std::string, std::filesystem::path> snapshots() const {
        std::map<std::string, std::filesystem::path> found;
        if (!std::filesystem::exists(data())) return found;
        for (const auto& entry : std::filesystem::directory_iterator(data()))
            if (entry.path().extension() == ".idx")
                if (const auto peeked = core::VolumeIndex::peek(entry.path().string()))
                    found[peeked->info.root] = entry.path();
        return found;
    }

    // Sends `signal` and waits for the program's end; its status, or -1 when it did not end.
    int endWith(int signal) {
        kill(program_->pid(), signal);
        const std::string stat = "/proc/" + std::to_string(program_->pid()) + "/stat";
        const bool ended = pollFor([&] {
            std::ifstream in(stat);
            std::string pid, name, state;
            in >> pid >> name >> state;
            return !in || state == "Z";
        });
        if (!ended) return -1;
        const auto result = program_->finish();
        return result.signalled ? 128 + result.status : result.status;
    }

private:
    std::optional<TempDir> ownHome_;
    std::filesystem::path home_;
    std::filesystem::path cli_;
    std::optional<RunningProgram> program_;
};

}  // namespace quorvanta::test
