#include "QuorvantaApp/model/entry/ProcessEnd.h"

#include "QuorvantaApp/model/app/AppModel.h"

#include <unistd.h>

#include <iostream>

namespace quorvanta::app {

void ProcessEnd::finish(AppModel* model, int status) const {
    std::cout.flush();
    std::fflush(out);
    std::fflush(stderr);
    if (model) model->windDown(bound);
    if (exit) {
        exit(status);
        return;
    }
    _exit(status);
}

}  // namespace quorvanta::app
