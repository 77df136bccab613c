#include "quorvanta_cli/ApiSocket.h"

#include "QuorvantaCore/api/LocalAPI.h"
#include "quorvanta_cli/Args.h"

namespace quorvanta::cli {

std::string apiSocketPath(const Args& args) {
    if (auto given = args.opt("--socket")) return *std::move(given);
    return core::LocalAPI::defaultSocketPath().string();
}

}  // namespace quorvanta::cli
