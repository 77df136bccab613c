// The verbose switch: whether library code prints its diagnostics on standard error. It is on
// when QUORVANTA_VERBOSE is set in the environment (to any value, even empty); the environment is
// read once, on the first question, so later changes to it are not seen.
// Threads: both functions are safe from any thread.
#pragma once

namespace quorvanta::platform {

bool verbose();

// Sets the switch for the rest of the process, in place of the environment (tests).
void setVerbose(bool on);

}  // namespace quorvanta::platform
