#include "QuorvantaCore/query/Query.h"

#include "QuorvantaCore/util/ErrorDescription.h"

namespace quorvanta::core {

Query Query::andTerm(const Term& term) const {
    if (groups.empty()) return Query{{{term}}};
    Query result = *this;
    for (auto& group : result.groups) group.push_back(term);
    return result;
}

std::string QueryError::description() const { return describeErrorCase("invalid", message_); }

}  // namespace quorvanta::core
