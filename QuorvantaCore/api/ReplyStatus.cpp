#include "QuorvantaCore/api/ReplyStatus.h"

#include "QuorvantaCore/json/JSONText.h"

namespace quorvanta::core::LocalAPI {

bool isOkReply(std::string_view reply) {
    const auto parsed = parseJSONStrict(reply);
    if (!parsed || !parsed->is_object()) return false;
    const auto ok = parsed->find("ok");
    return ok != parsed->end() && ok->is_boolean() && ok->get<bool>();
}

}  // namespace quorvanta::core::LocalAPI
