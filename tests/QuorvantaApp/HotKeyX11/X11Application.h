// The X11 test program's world: a private Xvfb and one Qt application on it (the xcb platform),
// made once per run by a global test environment; and key presses through xdotool that return
// once the application has handled everything they caused.
#pragma once

#include <xcb/xcb.h>

#include <functional>
#include <string>
#include <vector>

namespace quorvanta::test {

// Qt's X11 connection.
xcb_connection_t* applicationConnection();

// Presses the keys with xdotool ("ctrl+shift+space", "Num_Lock"), one after the other, and
// processes the application's events until the last event they caused has been handled. False
// (with the reason on standard error) when xdotool failed or that did not happen within 15 s.
bool pressKeys(const std::vector<std::string>& keys);

// Processes the application's events until it has handled every event the server sent it before
// this call (a keyboard remap's, the last test's), as pressKeys does without pressing any key.
bool catchUp();

// Processes the application's events until done() holds; false when it does not within limitMs.
bool processEventsUntil(const std::function<bool()>& done, int limitMs = 15000);

}  // namespace quorvanta::test
