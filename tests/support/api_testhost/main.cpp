// quorvanta-api-testhost --socket PATH ROOT...: a stand-in for the application's local API host,
// for end-to-end tests of the tool's `api` and `mcp` commands. It scans each root into its own
// volume index, serves status and search over them through the core's volume search, prints
// "ready" once it listens, and stops (socket removed) at the end of standard input or on SIGTERM
// or SIGINT. Never installed.
#include "QuorvantaCore/api/LocalAPIServer.h"
#include "QuorvantaCore/api/VolumeSearch.h"
#include "QuorvantaCore/index/VolumeIndex.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

using namespace quorvanta::core;

int main(int argc, char** argv) {
    std::string socket;
    std::vector<std::string> roots;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--socket" && i + 1 < argc) {
            socket = argv[++i];
        } else {
            roots.push_back(arg);
        }
    }
    if (socket.empty() || roots.empty()) {
        std::fprintf(stderr, "usage: quorvanta-api-testhost --socket PATH ROOT...\n");
        return 2;
    }

    // The stop signals are taken by sigwait below; blocked before any thread starts, so every
    // thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::vector<LocalAPI::SearchVolume> volumes;
    try {
        for (const std::string& root : roots)
            volumes.push_back({root, root, VolumeIndex::scanned({root}, 4), false, false});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorvanta-api-testhost: %s\n", e.what());
        return 1;
    }

    LocalAPI::Backend backend;
    backend.volumes = [&volumes] { return LocalAPI::volumeStatuses(volumes); };
    backend.search = [&volumes](const Query& query, std::int64_t limit) {
        return LocalAPI::searchVolumes(volumes, query, limit);
    };
    LocalAPIServer server(socket, backend);
    try {
        server.start();
    } catch (const LocalAPIServer::StartError& e) {
        std::fprintf(stderr, "quorvanta-api-testhost: %s\n", e.description().c_str());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    // End of standard input stops the host like SIGTERM does.
    std::thread([] {
        char buf[256];
        while (read(STDIN_FILENO, buf, sizeof buf) > 0) {}
        kill(getpid(), SIGTERM);
    }).detach();
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    std::fflush(stdout);
    _exit(0);  // the stdin reader may still be blocked in read
}
