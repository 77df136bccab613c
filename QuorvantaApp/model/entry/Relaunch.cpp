#include "QuorvantaApp/model/entry/Relaunch.h"

namespace quorvanta::app {

platform::DetachedStart Relaunch::run() const {
    if (stopListening) stopListening();
    const std::string program(kProgram);
    const std::string argv0 = arguments.empty() ? program : arguments.front();
    const std::vector<std::string> args = arguments.empty()
                                              ? std::vector<std::string>{}
                                              : std::vector<std::string>(arguments.begin() + 1, arguments.end());
    return start ? start(program, argv0, args) : platform::startDetachedProgram(program, argv0, args);
}

}  // namespace quorvanta::app
