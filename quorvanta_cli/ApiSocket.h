// The local API socket the api and mcp commands talk to.
#pragma once

#include <string>

namespace quorvanta::cli {

class Args;

// The --socket value when given; else "api.sock" in the data directory, which is then created
// when missing (with --socket the data directory is never touched).
std::string apiSocketPath(const Args& args);

}  // namespace quorvanta::cli
