#include "file_actions/FileActions.h"
#include "file_actions/SystemFailure.h"

#include "platform/trash/Trash.h"

namespace quorvanta::FileActions {

std::string moveToTrash(std::string_view path, platform::FileSystem& fs) {
    std::string checked = check(path, Action::trash, fs);
    platform::Trash trash(fs);
    platform::TrashOutcome outcome = trash.trashItem(checked);
    switch (outcome.status) {
        case platform::TrashOutcome::Status::moved:
            return std::move(outcome.trashedPath);
        case platform::TrashOutcome::Status::missing:
            throw Failure::missing(std::move(checked));
        case platform::TrashOutcome::Status::noTrash:
            throw Failure::noTrash(std::move(checked));
        case platform::TrashOutcome::Status::failed:
            break;
    }
    throw systemFailure(Action::trash, outcome.error);
}

}  // namespace quorvanta::FileActions
