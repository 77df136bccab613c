// What must hold for any line given to MCP::handle, shared by the libFuzzer harness
// (fuzz_mcp_handler.cpp) and the seeded mutation run of the unit tests. The forward function
// answers a canned local API reply and records what it was given.
#pragma once

#include "QuorvantaCore/api/MCP.h"
#include "QuorvantaCore/json/JSONText.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::test {

inline constexpr std::string_view kMCPParseErrorReply =
    R"({"error":{"code":-32700,"message":"parse error"},"id":null,"jsonrpc":"2.0"})";

// Empty when the line is handled soundly, else what went wrong.
inline std::string mcpMessageProblem(std::string_view line) {
    namespace MCP = core::MCP;
    std::vector<std::string> forwarded;
    const MCP::Forward forward = [&](std::string_view request) {
        forwarded.emplace_back(request);
        return std::string(R"({"ok":true,"query":"x","results":[],"shown":0,"total":0})");
    };
    const std::optional<std::string> reply = MCP::handle(line, forward);

    const auto message = core::parseJSONStrict(line, MCP::maxNesting);
    const bool isMessage =
        message && message->is_object() && message->contains("method") && (*message)["method"].is_string();
    if (!isMessage) {
        if (!forwarded.empty()) return "a line that is no message was forwarded";
        if (reply != kMCPParseErrorReply) return "a line that is no message did not get the parse error";
        return {};
    }
    if (!message->contains("id")) {
        if (reply) return "a notification was answered";
        if (!forwarded.empty()) return "a notification was forwarded";
        return {};
    }
    if (!reply) return "a request got no reply";
    if (reply->find('\n') != std::string::npos) return "a reply holds a line feed";
    // The reply nests the id one level deeper than the message did, and a tool result four.
    const auto parsed = core::parseJSONStrict(*reply, MCP::maxNesting + 4);
    if (!parsed || !parsed->is_object()) return "a reply is not one JSON object";
    if ((*parsed)["jsonrpc"] != "2.0") return "a reply without \"jsonrpc\" \"2.0\"";
    if (!parsed->contains("id") || core::writeJSONCompact((*parsed)["id"]) != core::writeJSONCompact((*message)["id"]))
        return "a reply does not echo the id";
    if (parsed->contains("result") == parsed->contains("error"))
        return "a reply holds not exactly one of result and error";
    if (forwarded.size() > 1) return "one message was forwarded more than once";
    if (!forwarded.empty()) {
        if ((*message)["method"] != "tools/call") return "a method other than tools/call was forwarded";
        const auto request = core::parseJSONStrict(forwarded.front());
        if (!request || !request->is_object() || request->value("op", "") != "search" || !request->contains("query") ||
            !(*request)["query"].is_string())
            return "the forwarded request is not a local API search";
        if (!parsed->contains("result")) return "a forwarded call got no tool result";
    }
    return {};
}

}  // namespace quorvanta::test
