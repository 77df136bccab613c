#include "QuorvantaCore/api/MCP.h"

#include "QuorvantaCore/api/LocalAPI.h"
#include "QuorvantaCore/api/LocalAPIClient.h"
#include "QuorvantaCore/api/ReplyStatus.h"
#include "QuorvantaCore/json/UTF8Repair.h"

#include <exception>
#include <variant>

namespace quorvanta::core::MCP {
namespace {

using nlohmann::json;

// The reply when memory runs out while a message is handled: still one JSON-RPC line.
constexpr std::string_view kInternalErrorReply =
    R"({"error":{"code":-32603,"message":"internal error"},"id":null,"jsonrpc":"2.0"})";

const Error kParseError{parseErrorCode, "parse error"};
const Error kMethodNotFound{methodNotFoundCode, "method not found"};
const Error kUnknownTool{invalidParamsCode, "unknown tool"};
const Error kQueryNotString{invalidParamsCode, "\"query\" must be a string"};

// The member `key` of `object` when it is an object, else an empty object.
const json& objectMember(const json& object, const char* key) {
    static const json empty = json::object();
    const auto it = object.find(key);
    return it != object.end() && it->is_object() ? *it : empty;
}

json initializeResult(const json& params) {
    const auto version = params.find("protocolVersion");
    return {
        {"protocolVersion", version != params.end() && version->is_string() ? *version : json(defaultProtocolVersion)},
        {"capabilities", {{"tools", json::object()}}},
        {"serverInfo", {{"name", serverName}, {"version", serverVersion}}}};
}

// The tool result: one text item, repaired to UTF-8 (the reply and error texts may hold anything).
json toolResult(const std::string& text, bool isError) {
    return {{"content", json::array({{{"type", "text"}, {"text", repairUTF8(text)}}})}, {"isError", isError}};
}

// tools/call: a result, or the JSON-RPC error for a call that names no known tool or query.
std::variant<json, Error> callTool(const json& params, const Forward& forward) {
    const auto name = params.find("name");
    if (name == params.end() || !name->is_string() || name->get_ref<const std::string&>() != toolName)
        return kUnknownTool;
    const json& arguments = objectMember(params, "arguments");
    const auto query = arguments.find("query");
    if (query == arguments.end() || !query->is_string()) return kQueryNotString;

    json request = {{"op", "search"}, {"query", *query}};
    if (const auto limit = arguments.find("limit"); limit != arguments.end()) request["limit"] = *limit;
    try {
        const std::string replyLine = forward(writeJSONCompact(request));
        return toolResult(replyLine, !LocalAPI::isOkReply(replyLine));
    } catch (const std::exception& failure) {
        return toolResult(failure.what(), true);
    } catch (...) {
        return toolResult(LocalAPIClient::ClientError::io().description(), true);
    }
}

std::optional<std::string> handleMessage(std::string_view line, const Forward& forward) {
    if (line.size() > maxMessageBytes) return reply(nullptr, std::nullopt, kParseError);
    const std::optional<json> parsed = parseJSONStrict(line, maxNesting);
    if (!parsed || !parsed->is_object()) return reply(nullptr, std::nullopt, kParseError);
    const json& message = *parsed;
    const auto method = message.find("method");
    if (method == message.end() || !method->is_string()) return reply(nullptr, std::nullopt, kParseError);

    const auto id = message.find("id");
    if (id == message.end()) return std::nullopt;  // a notification: never answered, never forwarded

    const json& params = objectMember(message, "params");
    const auto& name = method->get_ref<const std::string&>();
    if (name == "initialize") return reply(*id, initializeResult(params), std::nullopt);
    if (name == "ping") return reply(*id, json::object(), std::nullopt);
    if (name == "tools/list") return reply(*id, json{{"tools", json::array({toolDefinition()})}}, std::nullopt);
    if (name != "tools/call") return reply(*id, std::nullopt, kMethodNotFound);

    std::variant<json, Error> outcome = callTool(params, forward);
    if (auto* error = std::get_if<Error>(&outcome)) return reply(*id, std::nullopt, *error);
    return reply(*id, std::get<json>(outcome), std::nullopt);
}

}  // namespace

json toolDefinition() {
    const json schema = {{"type", "object"},
                         {"properties",
                          {{"query",
                            {{"type", "string"},
                             {"description", "Search text in Quorvanta syntax"},
                             {"maxLength", LocalAPI::maxQueryBytes}}},
                           {"limit",
                            {{"type", "integer"},
                             {"minimum", 1},
                             {"maximum", LocalAPI::maxLimit},
                             {"default", LocalAPI::defaultLimit}}}}},
                         {"required", json::array({"query"})}};
    const json annotations = {{"readOnlyHint", true}, {"destructiveHint", false}, {"openWorldHint", false}};
    return {
        {"name", toolName}, {"description", toolDescription}, {"inputSchema", schema}, {"annotations", annotations}};
}

std::string reply(const json& id, const std::optional<json>& result, const std::optional<Error>& error) {
    json out = {{"jsonrpc", "2.0"}, {"id", id}};
    if (result) out["result"] = *result;
    if (error) out["error"] = {{"code", error->code}, {"message", error->message}};
    return writeJSONCompact(out);
}

std::optional<std::string> handle(std::string_view message, const Forward& forward) noexcept {
    try {
        return handleMessage(message, forward);
    } catch (...) {
        // Only exhausted memory gets here; whether the message was a notification is then
        // unknown, and a stray error line is better than a request left without an answer.
        try {
            return std::string(kInternalErrorReply);
        } catch (...) {
            return std::nullopt;
        }
    }
}

}  // namespace quorvanta::core::MCP
