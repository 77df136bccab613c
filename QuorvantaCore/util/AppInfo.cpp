#include "QuorvantaCore/util/AppInfo.h"

namespace quorvanta::core {

// Linux programs carry no bundle with an information dictionary, so both values are the
// built-in ones.
const std::string& AppInfo::name() {
    static const std::string value = "Quorvanta";
    return value;
}

const std::string& AppInfo::bundleID() {
    static const std::string value = "org.quorvanta.Quorvanta";
    return value;
}

}  // namespace quorvanta::core
