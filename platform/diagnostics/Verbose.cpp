#include "platform/diagnostics/Verbose.h"

#include <atomic>
#include <cstdlib>

namespace quorvanta::platform {
namespace {

constexpr int kUnread = 0, kOff = 1, kOn = 2;

std::atomic<int> state{kUnread};

}  // namespace

bool verbose() {
    int now = state.load(std::memory_order_acquire);
    if (now == kUnread) {
        const int read = std::getenv("QUORVANTA_VERBOSE") ? kOn : kOff;
        // Another thread's first question or a `setVerbose` may have answered meanwhile; theirs stands.
        if (state.compare_exchange_strong(now, read, std::memory_order_acq_rel)) now = read;
    }
    return now == kOn;
}

void setVerbose(bool on) { state.store(on ? kOn : kOff, std::memory_order_release); }

}  // namespace quorvanta::platform
