#include "QuorvantaCore/content/PopplerQuiet.h"

#include <poppler/cpp/poppler-global.h>

#include <mutex>
#include <string>

namespace quorvanta::core {

void silencePoppler() {
    static std::once_flag once;
    std::call_once(once, [] { poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr); });
}

}  // namespace quorvanta::core
