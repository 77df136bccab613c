#include "file_actions/SystemFailure.h"

#include "QuorvantaCore/lang/Tr.h"

namespace quorvanta::FileActions {

Failure systemFailure(Action action, int error) {
    const std::string reason = platform::errnoText(error);
    return Failure::system(action == Action::rename ? core::tr("Cannot rename: %@.", reason)
                                                    : core::tr("Cannot move to the Trash: %@", reason));
}

}  // namespace quorvanta::FileActions
