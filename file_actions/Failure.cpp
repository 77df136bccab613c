#include "file_actions/Failure.h"

#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/AppInfo.h"
#include "QuorvantaCore/util/ErrorDescription.h"

#include <string_view>
#include <utility>

namespace quorvanta::FileActions {
namespace {

std::string_view caseName(Failure::Case c) {
    switch (c) {
        case Failure::Case::missing:
            return "missing";
        case Failure::Case::protected_:
            return "protected";
        case Failure::Case::invalidName:
            return "invalidName";
        case Failure::Case::exists:
            return "exists";
        case Failure::Case::noTrash:
            return "noTrash";
        case Failure::Case::system:
            return "system";
    }
    return "system";
}

// The last component of a path: "b" for "/a/b" and "/a/b/", "/" for "/", "" for "".
std::string lastComponent(std::string_view path) {
    const auto end = path.find_last_not_of('/');
    if (end == std::string_view::npos) return path.empty() ? "" : "/";
    const auto slash = path.rfind('/', end);
    const auto start = slash == std::string_view::npos ? 0 : slash + 1;
    return std::string(path.substr(start, end + 1 - start));
}

}  // namespace

Failure::Failure(Case c, std::string text)
    : case_(c), text_(std::move(text)), printed_(core::describeErrorCase(caseName(c), text_)) {}

Failure Failure::missing(std::string path) { return Failure(Case::missing, std::move(path)); }
Failure Failure::protected_(std::string path) { return Failure(Case::protected_, std::move(path)); }
Failure Failure::invalidName(std::string message) { return Failure(Case::invalidName, std::move(message)); }
Failure Failure::exists(std::string name) { return Failure(Case::exists, std::move(name)); }
Failure Failure::noTrash(std::string path) { return Failure(Case::noTrash, std::move(path)); }
Failure Failure::system(std::string message) { return Failure(Case::system, std::move(message)); }

std::string Failure::description() const {
    switch (case_) {
        case Case::missing:
            return core::tr("“%@” no longer exists.", lastComponent(text_));
        case Case::protected_:
            return core::tr(
                "“%@” is a protected folder (drive, user, application or system folder) and is never "
                "changed by %@.",
                lastComponent(text_), core::AppInfo::name());
        case Case::exists:
            return core::tr("There is already something named “%@” here.", text_);
        case Case::noTrash:
            return core::tr("There is no Trash for “%@” (e.g. a network or read-only drive).", lastComponent(text_));
        case Case::invalidName:
        case Case::system:
            break;
    }
    // The messages are made with their text; an empty one still says what happened.
    return text_.empty() ? printed_ : text_;
}

}  // namespace quorvanta::FileActions
