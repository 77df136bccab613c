// A restart of the desktop application from within: the onboarding window's "Restart" button.
//
// run() first closes this instance's activation socket, then starts a copy of the running program
// (/proc/self/exe) with the command line this instance was given, detached, so it outlives this
// process. The caller then takes the quit path, which saves the snapshots. The copy finds the data
// folder's lock held and nobody answering on the activation socket, so it waits for the lock
// (SingleInstance.h) and runs only once this instance has ended: never two instances over the
// same snapshots, "global.ord" and API socket. Were the socket still open, this instance would
// answer the copy's reopen request and the copy would end at once.
//
// Threads: main thread.
// Errors: a copy that cannot be started is not reported to the user; run() returns what the start
// gave, and the quit goes on.
#pragma once

#include "platform/process/ChildProgram.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {

struct Relaunch {
    static constexpr std::string_view kProgram = "/proc/self/exe";

    using Start = std::function<platform::DetachedStart(const std::string& program, const std::string& argv0,
                                                        const std::vector<std::string>& args)>;

    // The command line, the program as it was started first; empty: argv[0] is kProgram and there
    // are no arguments.
    std::vector<std::string> arguments;
    // Closes the activation socket; empty: there is none.
    std::function<void()> stopListening;
    // Empty: platform::startDetachedProgram.
    Start start;

    platform::DetachedStart run() const;
};

}  // namespace quorvanta::app
