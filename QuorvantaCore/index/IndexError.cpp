#include "QuorvantaCore/index/IndexError.h"

#include "QuorvantaCore/util/ErrorDescription.h"

#include <utility>

namespace quorvanta::core {

IndexError::IndexError(Case c, std::string path, std::string printed)
    : case_(c), path_(std::move(path)), printed_(std::move(printed)) {}

IndexError IndexError::cannotOpen(std::string path) {
    std::string printed = describeErrorCase("cannotOpen", path);
    return IndexError(Case::cannotOpen, std::move(path), std::move(printed));
}

IndexError IndexError::cancelled() { return IndexError(Case::cancelled, "", "cancelled"); }

}  // namespace quorvanta::core
