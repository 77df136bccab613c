// The model's part in the end of the process: the scans and writes it must wait for.
#include "QuorvantaApp/model/lifecycle/Lifecycle.h"

namespace quorvanta::app {

bool AppModel::windDown(std::chrono::milliseconds bound) {
    requireMain();
    return work_->close(bound);
}

}  // namespace quorvanta::app
