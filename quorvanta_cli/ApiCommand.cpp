// quorvanta-cli api status | api search <query> [--limit N]: one local API exchange, the reply
// printed as it came (ill-formed UTF-8 replaced), the status telling whether it was ok.
#include "QuorvantaCore/api/LocalAPIClient.h"
#include "QuorvantaCore/api/ReplyStatus.h"
#include "QuorvantaCore/json/JSONText.h"
#include "QuorvantaCore/json/UTF8Repair.h"
#include "quorvanta_cli/ApiSocket.h"
#include "quorvanta_cli/Commands.h"
#include "quorvanta_cli/Options.h"
#include "quorvanta_cli/Tool.h"

namespace quorvanta::cli {
namespace {

// The request the arguments ask for; ends the run with the usage text when they ask for none.
nlohmann::json apiRequest(Cli& cli) {
    const std::string word = cli.args.at(1).value_or("");
    if (word == "status") return {{"op", "status"}};
    const auto query = cli.args.at(2);
    if (word != "search" || !query) usageExit(cli, "api");
    nlohmann::json request = {{"op", "search"}, {"query", *query}};
    if (const auto limit = cli.args.opt(options::api::limit))
        if (const auto value = number(*limit)) request["limit"] = *value;
    return request;
}

}  // namespace

int apiCommand(Cli& cli) {
    const nlohmann::json request = apiRequest(cli);
    const std::string path = apiSocketPath(cli.args);
    std::string reply;
    try {
        reply = core::LocalAPIClient::send(core::writeJSONCompact(request), path);
    } catch (const core::LocalAPIClient::ClientError& failure) {
        cli.err << "quorvanta-cli: " << failure.description() << '\n';
        return kNotDelivered;
    }
    cli.out << core::repairUTF8(reply) << '\n';
    return core::LocalAPI::isOkReply(reply) ? kSuccess : kNotOk;
}

}  // namespace quorvanta::cli
