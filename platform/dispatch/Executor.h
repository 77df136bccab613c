// Something that runs tasks later, somewhere: a serial queue, the concurrent scan queue or the main
// queue. Observers take one so that their callbacks run where their owner expects them.
#pragma once

#include <functional>

namespace quorvanta::platform {

using Task = std::function<void()>;

class Executor {
public:
    virtual ~Executor() = default;
    // Queues `task` to run once. Safe from any thread. A task must not let an exception escape.
    virtual void post(Task task) = 0;
};

}  // namespace quorvanta::platform
