#include "QuorvantaCore/api/APIQuery.h"

namespace quorvanta::core::LocalAPI {

ParsedQuery parseQuery(std::string_view text) {
    return ParsedQuery{Query{std::string(text)}, {}};
}

}  // namespace quorvanta::core::LocalAPI
