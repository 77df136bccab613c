// Starting an outside program that must outlive the call and the application (the opener of a file
// or a link): started by its path with posix_spawn (no shell, no PATH search) in a session of its
// own, with standard input, output and error on /dev/null, no other descriptor inherited, and the
// signals as a fresh program expects them (the application blocks its termination signals). The
// application never waits for it: a thread of its own reaps it when it ends.
//
// Threads: safe from any thread.
#pragma once

#include <string>
#include <vector>

namespace quorvanta::app {

// Starts `program` with `args` as argv[1...] (argv[0] is the program path). False when it cannot be
// started (no such program, not executable, out of processes).
bool startDetached(const std::string& program, const std::vector<std::string>& args);

}  // namespace quorvanta::app
