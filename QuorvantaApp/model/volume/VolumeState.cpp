#include "QuorvantaApp/model/volume/VolumeState.h"

#include "QuorvantaCore/index/ScanTimes.h"
#include "QuorvantaCore/index/VolumeIndex.h"
#include "QuorvantaCore/index/VolumeWatcher.h"
#include "QuorvantaCore/search/Searcher.h"
#include "platform/fs/PathText.h"
#include "platform/volumes/MountOfPath.h"

#include <charconv>

namespace quorvanta::app {
namespace {

// "path-" and the FNV-1a hash of the root in lower-case hexadecimal, without leading zeros.
std::string pathIdentifier(const std::string& root) {
    char hex[16];
    const auto end = std::to_chars(std::begin(hex), std::end(hex), core::VolumeID::fnv(root), 16).ptr;
    return "path-" + std::string(hex, end);
}

}  // namespace

std::shared_ptr<VolumeState> VolumeState::create(const Online& online, const VolumeContext& context) {
    return std::make_shared<VolumeState>(Passkey{}, online, context);
}

std::shared_ptr<VolumeState> VolumeState::create(Offline catalog, const VolumeContext& context) {
    return std::make_shared<VolumeState>(Passkey{}, std::move(catalog), context);
}

VolumeState::VolumeState(Passkey, const Online& online, const VolumeContext& context)
    : lastReconcile(context.now()),
      lastSave(lastReconcile),
      name_(online.name),
      root_(online.root),
      displayPrefix_(online.displayPrefix),
      isInternal_(online.isInternal),
      scopes_(online.scopes),
      includeExts_(online.includeExts) {
    // The root's mount, found on the root's text alone: resolving links could hang on a network
    // share. It decides "network" and is all the resume rule learns of the file system.
    const auto mounts = context.mounts();
    const auto mount = mounts ? platform::mountByPrefix(root_, *mounts) : std::nullopt;
    const bool onNetwork = mount && core::VolumeID::isNetwork(mount->fsType);
    isNetwork_ = !isInternal_ && onNetwork;

    const auto volumeUUID = mount && !onNetwork ? context.volumeUUID(*mount) : std::nullopt;
    prefKey_ = volumeUUID.value_or(root_);
    configHash_ = core::VolumeID::configHash(online.excludes, scopes_, includeExts_);
    uuid_ = volumeUUID.value_or(pathIdentifier(root_));
    snapshotPath_ = core::VolumeID::snapshotPath(uuid_, root_, context.dataDirectory);

    if (online.persist && online.loadSnapshot) {
        if (auto snapshot = core::VolumeIndex::load(snapshotPath_, online.excludes)) {
            const auto& info = snapshot->info;
            const auto& candidate = *snapshot->index;
            const bool matches = info.uuid == uuid_ && info.root == root_ && info.exclHash == configHash_ &&
                                 candidate.deletedCount() * 4 < static_cast<std::int64_t>(candidate.count());
            if (matches) resume_ = context.resume(info, root_, mount ? &*mount : nullptr);
            if (resume_) {
                index_ = std::move(snapshot->index);
                loaded_ = std::move(snapshot->info);
            }
        }
    }
    if (index_) {
        updating.set(true);
        count.set(index_->liveCount());
        index_->loadAudio(snapshotPath_);
    } else {
        index_ = core::VolumeIndex::create(core::VolumeIndex::defaultMaxEntries, core::VolumeIndex::defaultMaxNameBytes,
                                           online.excludes);
        scanning.set(true);
    }
    index_->setIncludeExts(includeExts_);
    if (online.persist) index_->setContent(context.content);
    searcher_ = std::make_shared<core::Searcher>(index_);

    if (isNetwork_) {
        const auto times = core::ScanTimes::load(context.dataDirectory / core::ScanTimes::fileName);
        if (const auto it = times.times.find(uuid_); it != times.times.end())
            lastScanned.set(it->second);
        else if (loaded_)
            lastScanned.set(loaded_->savedAt);
    }
}

VolumeState::VolumeState(Passkey, Offline catalog, const VolumeContext& context)
    : lastReconcile(context.now()),
      lastSave(lastReconcile),
      catalogDate(catalog.info.savedAt),
      name_(std::move(catalog.name)),
      root_(std::move(catalog.root)),
      isInternal_(false),
      index_(std::move(catalog.index)),
      uuid_(catalog.info.uuid),
      snapshotPath_(std::move(catalog.snapshotPath)),
      scopes_{root_},
      configHash_(catalog.info.exclHash),
      loaded_(std::move(catalog.info)),
      isNetwork_(false),
      prefKey_(root_) {
    offline.set(true);
    count.set(index_->liveCount());
    searcher_ = std::make_shared<core::Searcher>(index_);
}

VolumeState::~VolumeState() = default;

std::string VolumeState::displayPath(const std::string& path) const {
    std::string_view prefix = displayPrefix_;
    while (!prefix.empty() && prefix.back() == '/') prefix.remove_suffix(1);
    if (displayPrefix_.empty() || !platform::isSameOrUnder(path, displayPrefix_)) return path;
    const std::string rest = path.substr(prefix.size());
    return rest.empty() ? "/" : rest;
}

}  // namespace quorvanta::app
