#include "quorvanta_cli/ApiSocket.h"

#include "QuorvantaCore/api/LocalAPI.h"
#include "quorvanta_cli/Args.h"
#include "quorvanta_cli/Options.h"

namespace quorvanta::cli {

std::string apiSocketPath(const Args& args) {
    if (auto given = args.opt(options::socket)) return *std::move(given);
    return core::LocalAPI::defaultSocketPath().string();
}

}  // namespace quorvanta::cli
