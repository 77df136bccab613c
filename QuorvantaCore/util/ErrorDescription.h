// The printed form of an error case that carries a text, as scripts see it in the tool's output
// and the local API's "error" field: `invalid("ext: needs a value")`, `cannotOpen("/x")`.
// The payload is quoted; backslash, double quote and control characters are escaped so that the
// line stays one line and can be read back unambiguously.
#pragma once

#include <string>
#include <string_view>

namespace quorvanta::core {

// caseName("payload"), with the payload escaped.
std::string describeErrorCase(std::string_view caseName, std::string_view payload);

// The payload's escaping alone: \\ \" \n \r \t \0, other control bytes as \u{XX}.
std::string escapeErrorPayload(std::string_view payload);

}  // namespace quorvanta::core
