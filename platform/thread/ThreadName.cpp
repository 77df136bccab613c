#include "platform/thread/ThreadName.h"

#include <pthread.h>

namespace quorvanta::platform {

void setCurrentThreadName(std::string_view name) {
    const std::string cut(name.substr(0, kMaxThreadNameBytes));
    pthread_setname_np(pthread_self(), cut.c_str());
}

std::string currentThreadName() {
    char buffer[kMaxThreadNameBytes + 1] = {};
    if (pthread_getname_np(pthread_self(), buffer, sizeof buffer) != 0) return {};
    return buffer;
}

}  // namespace quorvanta::platform
