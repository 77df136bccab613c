#include "QuorvantaCore/api/CLISupport.h"

#include "QuorvantaCore/api/IndexRow.h"
#include "QuorvantaCore/json/JSONText.h"

namespace quorvanta::core::CLISupport {

std::string json(std::string_view query, std::int64_t total, const VolumeIndex& index,
                 const std::vector<std::uint32_t>& shown) {
    nlohmann::json results = nlohmann::json::array();
    for (std::uint32_t entry : shown) results.push_back(LocalAPI::toJSON(LocalAPI::indexRow(index, entry)));
    const nlohmann::json document = {{"query", std::string(query)},
                                     {"total", total},
                                     {"shown", static_cast<std::int64_t>(shown.size())},
                                     {"results", std::move(results)}};
    return writeJSONPretty(document);
}

}  // namespace quorvanta::core::CLISupport
