#include "platform/dispatch/Qos.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quorvanta::platform {
namespace {

id_t currentTid() { return static_cast<id_t>(syscall(SYS_gettid)); }

}  // namespace

int niceOffset(Qos qos) {
    switch (qos) {
        case Qos::userInteractive:
        case Qos::userInitiated:
        case Qos::standard:
            return 0;
        case Qos::utility:
            return 5;
        case Qos::background:
            return 10;
    }
    return 0;
}

void applyQosToCurrentThread(Qos qos) {
    // On Linux PRIO_PROCESS with a thread id addresses that one thread; with the process id it
    // addresses the main thread, whose value is the base of every class.
    errno = 0;
    const int base = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
    if (base == -1 && errno != 0) return;
    const int target = std::min(base + niceOffset(qos), 19);
    if (target == currentThreadNice()) return;
    setpriority(PRIO_PROCESS, currentTid(), target);
}

int currentThreadNice() {
    errno = 0;
    const int value = getpriority(PRIO_PROCESS, currentTid());
    return (value == -1 && errno != 0) ? 0 : value;
}

}  // namespace quorvanta::platform
