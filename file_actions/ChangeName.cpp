#include "file_actions/FileActions.h"
#include "file_actions/SystemFailure.h"

#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/text/Case.h"
#include "QuorvantaCore/text/CharClass.h"
#include "platform/fs/PathText.h"
#include "platform/fs/RenameNoReplace.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace quorvanta::FileActions {
namespace {

constexpr std::size_t kMaxNameBytes = 255;

void checkName(std::string_view name) {
    if (name.empty()) throw Failure::invalidName(core::tr("The name cannot be empty."));
    if (name == "." || name == ".." || name.find('/') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos)
        throw Failure::invalidName(core::tr("The name cannot contain “/” and cannot be “.” or “..”."));
    if (name.size() > kMaxNameBytes) throw Failure::invalidName(core::tr("The name is too long (255 bytes at most)."));
}

// A new letter case of the same item: the target name reaches the item itself (a case-insensitive
// file system, or a casefolded folder) and differs from its name only in case.
bool sameItemInOtherCase(const std::string& path, const std::string& target, std::string_view oldName,
                         std::string_view newName, platform::FileSystem& fs) {
    platform::FileStatus item;
    platform::FileStatus atTarget;
    if (fs.lstat(target, atTarget) != 0 || fs.lstat(path, item) != 0 || !item.sameItem(atTarget)) return false;
    return core::text::lowercased(newName) == core::text::lowercased(oldName);
}

}  // namespace

std::string changeName(std::string_view path, std::string_view newName, platform::FileSystem& fs) {
    const std::string checked = check(path, Action::rename, fs);
    const std::string_view name = core::text::trimBlanks(newName);
    checkName(name);

    const std::string folder = platform::parentPath(checked);
    const std::string_view oldName = std::string_view(checked).substr(checked.rfind('/') + 1);
    const std::string target = platform::joinPath(folder, name);
    if (target == checked) return checked;

    if (sameItemInOtherCase(checked, target, oldName, name, fs)) {
        // rename() changes the letter case in place where the file system folds case. Where it
        // does not, the target name is another link to the same item, and rename() between two
        // links of one item does nothing at all; the listing tells the two apart.
        std::vector<std::string> names;
        if (const int error = fs.listFolder(folder, names)) throw systemFailure(Action::rename, error);
        if (std::find(names.begin(), names.end(), name) != names.end()) throw Failure::exists(std::string(name));
        if (const int error = fs.rename(checked, target)) throw systemFailure(Action::rename, error);
        return target;
    }

    const int error = platform::renameNoReplace(fs, checked, target);
    if (error == EEXIST) throw Failure::exists(std::string(name));
    if (error) throw systemFailure(Action::rename, error);
    return target;
}

}  // namespace quorvanta::FileActions
