#include "QuorvantaApp/model/sources/SourceDraft.h"

#include "QuorvantaCore/query/ExtPatterns.h"
#include "platform/fs/PathText.h"
#include "platform/volumes/ExternalDrives.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace quorvanta::app {
namespace {

using core::ExtPatterns;

bool onExternalDriveFolder(std::string_view path) {
    return std::any_of(platform::kExternalDriveFolders.begin(), platform::kExternalDriveFolders.end(),
                       [&](std::string_view folder) { return platform::isSameOrUnder(path, folder); });
}

// `folder` relative to the drive's root, as it is stored in the drive's folder list; none when it
// is not on that drive or names its root. The lexical normal form of an absolute path has no
// empty, "." or ".." component, so neither has the part below the root.
std::optional<std::string> folderOnDrive(std::string_view folder, const Candidate& candidate) {
    const std::string path = platform::normalisedPath(folder);
    if (candidate.isInternal && onExternalDriveFolder(path)) return std::nullopt;
    const auto below = platform::pathBelow(path, candidate.root);
    if (!below || below->empty()) return std::nullopt;
    return std::string(*below);
}

}  // namespace

SourceDraft::SourceDraft(Prefs& prefs, std::vector<Candidate> candidates)
    : candidates(std::move(candidates)), prefs_(prefs) {
    includeOnly.set(prefs_.includeOnly());
    SourceMap initial;
    for (const auto& c : this->candidates) initial.emplace(c.key, prefs_.source(c.key, c.isInternal));
    cfg.set(std::move(initial));
}

SourceConfig SourceDraft::config(const Candidate& candidate) const {
    const auto entry = cfg->find(candidate.key);
    return entry != cfg->end() ? entry->second : Prefs::defaultSource(candidate.isInternal);
}

void SourceDraft::setConfig(const Candidate& candidate, SourceConfig config) {
    SourceMap edited = cfg.get();
    edited.insert_or_assign(candidate.key, std::move(config));
    cfg.set(std::move(edited));
}

bool SourceDraft::changed() const {
    if (ExtPatterns::parse(*includeOnly).exts != ExtPatterns::parse(prefs_.includeOnly()).exts) return true;
    return std::any_of(candidates.begin(), candidates.end(), [&](const Candidate& c) {
        const auto entry = cfg->find(c.key);
        return entry == cfg->end() || entry->second != prefs_.source(c.key, c.isInternal);
    });
}

bool SourceDraft::add(std::string_view folder, const Candidate& candidate) {
    auto relative = folderOnDrive(folder, candidate);
    if (!relative) return false;
    SourceConfig edited = config(candidate);
    if (std::find(edited.folders.begin(), edited.folders.end(), *relative) == edited.folders.end())
        edited.folders.push_back(std::move(*relative));
    setConfig(candidate, std::move(edited));
    return true;
}

void SourceDraft::commit(SourceCommitTarget& model) {
    SourceMap sources = prefs_.sources();
    for (const auto& c : candidates)
        if (const auto entry = cfg->find(c.key); entry != cfg->end()) sources.insert_or_assign(c.key, entry->second);
    prefs_.setSources(std::move(sources));
    prefs_.save(prefs_.sources(), Prefs::sourcesKey);

    std::string normalised = ExtPatterns::format(ExtPatterns::parse(*includeOnly).exts);
    prefs_.setIncludeOnly(normalised);
    includeOnly.set(std::move(normalised));

    model.applySources();
}

}  // namespace quorvanta::app
