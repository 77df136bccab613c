// The maintenance rules as pure functions.
#include "QuorvantaApp/model/maintenance/Maintenance.h"

#include "platform/fs/PathText.h"

#include <algorithm>

namespace quorvanta::app::maintenance {

bool spacedOut(double now, double then, double spacing) { return now - then > spacing || then - now > spacing; }

double saveInterval(std::uint64_t arrayBytes) {
    return std::max(static_cast<double>(arrayBytes) * 1.4 / 500000.0, kMinSaveInterval);
}

bool saveDue(const SaveFacts& facts) {
    return facts.persist && !facts.scanning && (facts.watched || facts.reconcileMode) && facts.unsaved &&
           spacedOut(facts.now, facts.lastSave, saveInterval(facts.arrayBytes));
}

bool reconcileDue(const ReconcileFacts& facts) {
    return facts.persist && !facts.scanning && facts.reconcileMode && !facts.watched && !facts.updating &&
           spacedOut(facts.now, facts.lastReconcile, kReconcileSpacing);
}

bool contentUpdateDue(bool keyChanged, bool signatureChanged, double now, double contentLast) {
    if (keyChanged) return true;
    return signatureChanged && spacedOut(now, contentLast, kContentSpacing);
}

ContentScope contentScope(const std::string& root, const std::vector<std::string>& contentFolders,
                          const std::vector<std::string>& otherRoots) {
    ContentScope scope;
    for (const std::string& other : otherRoots)
        if (platform::isSameOrUnder(other, root) && !platform::isSameOrUnder(root, other))
            scope.innerRoots.push_back(other);
    for (const std::string& folder : contentFolders) {
        if (!platform::isSameOrUnder(folder, root)) continue;
        const bool nested =
            std::any_of(scope.innerRoots.begin(), scope.innerRoots.end(),
                        [&](const std::string& inner) { return platform::isSameOrUnder(folder, inner); });
        if (!nested) scope.folders.push_back(folder);
    }
    std::vector<std::string> sorted = scope.folders;
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i > 0) scope.key += '\n';
        scope.key += sorted[i];
    }
    return scope;
}

std::string contentSignature(const std::string& key, std::uint32_t entries, std::int64_t mutations) {
    return key + "|" + std::to_string(entries) + "|" + std::to_string(mutations);
}

}  // namespace quorvanta::app::maintenance
