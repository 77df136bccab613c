// Whether a local API reply line reports success, as the tool's api command and the MCP bridge
// both judge it: only a JSON object whose "ok" is the boolean true, read strictly and within the
// nesting bound. A reply that is cut short, not JSON or nested too deep is not a success.
#pragma once

#include <string_view>

namespace quorvanta::core::LocalAPI {

bool isOkReply(std::string_view reply);

}  // namespace quorvanta::core::LocalAPI
