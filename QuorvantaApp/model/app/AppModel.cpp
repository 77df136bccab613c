// AppModel's construction, its volumes at start and the preference subscriptions.
#include "QuorvantaApp/model/app/AppModel.h"

#include "QuorvantaApp/model/search/GlobalOrderFormat.h"
#include "QuorvantaCore/content/ContentIndex.h"
#include "QuorvantaCore/index/VolumeID.h"
#include "QuorvantaCore/query/ExtPatterns.h"
#include "QuorvantaCore/search/Searcher.h"
#include "platform/dispatch/QueueLabels.h"
#include "platform/fs/AtomicFile.h"
#include "platform/fs/PathText.h"
#include "platform/volumes/MountInfo.h"
#include "platform/volumes/VolumeUUID.h"

#include <algorithm>
#include <cassert>
#include <system_error>

namespace quorvanta::app {
namespace {

// The name of a volume known only by its root: the last component, or the root itself ("/").
std::string nameOfRoot(const std::string& root) {
    const std::string_view last = platform::lastComponent(root);
    return last.empty() ? root : std::string(last);
}

}  // namespace

std::int64_t AppModel::Generation::raise() {
    std::lock_guard guard(genLock);
    return ++gen;
}

std::int64_t AppModel::Generation::current() const {
    std::lock_guard guard(genLock);
    return gen;
}

std::shared_ptr<AppModel> AppModel::create(std::vector<std::string> rootsOverride, bool persist, Dependencies deps) {
    const bool forced = !rootsOverride.empty();
    auto model = std::make_shared<AppModel>(Passkey{}, std::move(rootsOverride), persist, std::move(deps));
    model->subscribeToPrefs();
    if (model->persist_) model->global_ = GlobalOrder::load(model->dataFolder_ / global_order_file::kFileName);
    model->refreshNewDrives();
    model->scheduleTick();
    if (model->persist_ && !forced) model->observeMounts();
    return model;
}

AppModel::AppModel(Passkey, std::vector<std::string> rootsOverride, bool persist, Dependencies deps)
    : main_(deps.main),
      prefs_(deps.prefs ? *deps.prefs : Prefs::shared()),
      defaults_(deps.defaults ? *deps.defaults : prefs_.d()),
      showJunk(defaults_.boolean(kShowJunkKey).value_or(false), &objectWillChange),
      dataFolder_(deps.dataFolder ? *deps.dataFolder : core::VolumeID::directory()),
      persist_(persist && !dataFolder_.empty()),
      candidates_(deps.candidates ? std::move(deps.candidates) : std::make_shared<const SystemCandidates>()),
      driveFolders_(std::move(deps.driveFolders)),
      events_(deps.events ? std::move(deps.events) : platform::processEventSource()),
      loadCatalog_(deps.loadCatalog ? std::move(deps.loadCatalog)
                                    : [](const std::string& path) { return core::VolumeIndex::load(path, {}); }),
      reachable_(deps.reachable ? std::move(deps.reachable)
                                : [](const std::string& root) { return core::VolumeID::isReachable(root); }),
      mountSource_(deps.mountSource ? std::move(deps.mountSource) : platform::systemMountSource()),
      queue_(std::string(platform::queue_labels::kSearch), platform::Qos::userInitiated, main_.clock()),
      netQueue_(std::string(platform::queue_labels::kNetScan), platform::Qos::background, main_.clock()),
      audioQueue_(std::string(platform::queue_labels::kAudio), platform::Qos::background, main_.clock()),
      contentQueue_(std::string(platform::queue_labels::kContent), platform::Qos::background, main_.clock()),
      bg_(std::string(platform::queue_labels::kScan), platform::Qos::utility,
          platform::ConcurrentQueue::kDefaultMaxThreads, platform::ConcurrentQueue::kDefaultIdleLinger, main_.clock()) {
    requireMain();
    if (persist_) {
        // Temporaries of saves that a killed run left behind; a folder that cannot be read is
        // found again by the steps below, which then simply find nothing.
        std::error_code ignored;
        platform::sweepStaleTemporaries(dataFolder_, main_.clock().wallSeconds(), ignored);
        // Opening the content index creates its database: only a persisting model asks for it.
        content_ = deps.content ? deps.content() : core::ContentIndex::shared();
    }
    if (content_) {
        contentFiles.set(content_->count());
        contentBytes.set(content_->bytes());
    }
    excludedPaths_ = defaults_.textList(kExcludedPathsKey).value_or(std::vector<std::string>{});

    volumeContext_.dataDirectory = dataFolder_;
    volumeContext_.content = content_;
    volumeContext_.mounts = deps.mounts ? std::move(deps.mounts) : [] { return platform::readMountInfo(); };
    volumeContext_.volumeUUID = [](const platform::MountEntry& mount) { return platform::mountUUID(mount); };
    volumeContext_.resume = deps.resume ? std::move(deps.resume) : defaultResumeRule(events_, main_.clock());
    volumeContext_.clock = &main_.clock();

    Volumes made;
    if (!rootsOverride.empty()) {
        const std::vector<std::string> exts = includeExts();
        for (const std::string& root : rootsOverride) {
            VolumeState::Online online;
            online.name = nameOfRoot(root);
            online.root = root;
            online.excludes = excludedPaths_;
            online.scopes = {root};
            online.includeExts = exts;
            online.persist = persist_;
            made.push_back(VolumeState::create(online, volumeContext_));
        }
    } else if (prefs_.configured()) {
        for (const Candidate& candidate : candidates_->candidates()) {
            if (!prefs_.isKnown(candidate.key)) continue;
            if (auto volume = makeConfiguredVolume(candidate)) made.push_back(std::move(volume));
        }
    }
    if (rootsOverride.empty() && persist_) {
        std::set<std::string, std::less<>> online;
        for (const auto& volume : made) online.insert(volume->root());
        for (auto& catalog : offlineCatalogs(online)) made.push_back(std::move(catalog));
    }
    volumes.set(std::move(made));
}

AppModel::~AppModel() = default;

void AppModel::requireMain() const {
    assert(main_.isMainThread() && "the application model belongs to the main thread");
}

std::vector<std::string> AppModel::includeExts() const { return core::ExtPatterns::parse(prefs_.includeOnly()).exts; }

std::shared_ptr<VolumeState> AppModel::makeConfiguredVolume(const Candidate& candidate) const {
    const std::optional<VolumeState::Online> online = configuredVolume(candidate);
    return online ? VolumeState::create(*online, volumeContext_) : nullptr;
}

std::optional<VolumeState::Online> AppModel::configuredVolume(const Candidate& candidate) const {
    const SourceConfig config = prefs_.source(candidate.key, candidate.isInternal);
    std::vector<std::string> scopes = Prefs::scopes(config, candidate.root);
    if (!config.enabled || scopes.empty()) return std::nullopt;
    VolumeState::Online online;
    online.name = candidate.name;
    online.root = candidate.root;
    online.displayPrefix = candidate.prefix;
    online.isInternal = candidate.isInternal;
    online.excludes = excludedPaths_;
    online.scopes = std::move(scopes);
    online.includeExts = includeExts();
    online.persist = persist_;
    return online;
}

void AppModel::subscribeToPrefs() {
    // The receivers run before the preferences store the new value; the work is handed to the
    // main queue, so it runs after the change is complete and never inside the preferences' call.
    const std::weak_ptr<AppModel> weak = weak_from_this();
    platform::MainQueue& main = main_;
    prefWatch_.push_back(prefs_.observeHiddenVolumes([weak, &main](const Prefs::VolumeIds&) {
        main.post([weak] {
            if (const auto model = weak.lock()) model->runSearch(true);
        });
    }));
    prefWatch_.push_back(prefs_.observeCategories([weak, &main](const Prefs::Categories& categories) {
        main.post([weak, categories] {
            if (const auto model = weak.lock()) model->categoriesChanged(categories);
        });
    }));
}

void AppModel::categoriesChanged(const Prefs::Categories& categories) {
    requireMain();
    const Category& current = filter.get();
    const auto found =
        std::find_if(categories.begin(), categories.end(), [&](const Category& c) { return c.id == current.id; });
    if (found != categories.end()) {
        if (*found == current) return;
        filter.set(*found);
    } else {
        // The built-in filters are never part of the list.
        if (current.id == Category::all().id || current.id == Category::folders().id) return;
        filter.set(Category::all());
    }
    browseAll.set(false);
    runSearch(true);
}

}  // namespace quorvanta::app
