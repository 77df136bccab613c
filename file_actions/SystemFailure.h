// The `system` failure of an action for an errno value, its text localised as it is made:
// "Cannot rename: Permission denied." or "Cannot move to the Trash: Permission denied" (the
// Trash text has no full stop of its own). The errno's text is the system's English one.
#pragma once

#include "file_actions/FileActions.h"

namespace quorvanta::FileActions {

Failure systemFailure(Action action, int error);

}  // namespace quorvanta::FileActions
