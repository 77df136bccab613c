#include "QuorvantaApp/ResultsTable/MetaRequests.h"

#include "QuorvantaCore/index/VolumeIndex.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

namespace quorvanta::app {
namespace {

// One pool for the process: it must outlive every table, since loads may still run when a table
// goes, and its threads never hold a table.
QThreadPool& pool() {
    static QThreadPool* const shared = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(MetaRequests::kThreads);
        p->setThreadPriority(QThread::LowPriority);
        return p;
    }();
    return *shared;
}

}  // namespace

std::size_t MetaRequests::KeyHash::operator()(const Key& key) const {
    return std::hash<std::string>{}(key.path) ^ (std::hash<std::uint64_t>{}(key.size) * 31) ^
           (std::hash<std::uint32_t>{}(key.mtime) * 131);
}

MetaRequests::MetaRequests(std::function<void(std::size_t row)> loaded, QObject* parent)
    : QObject(parent), loaded_(std::move(loaded)), load_(&FileMeta::load), dropped_(std::make_shared<std::atomic<bool>>(false)) {}

MetaRequests::~MetaRequests() { dropped_->store(true); }

std::optional<FileMeta> MetaRequests::meta(const core::VolumeIndex& index, std::size_t row, std::uint32_t entry) {
    Key key{index.path(entry), index.size(entry), index.mtime(entry)};
    if (const auto found = cache_.find(key); found != cache_.end()) return found->second;
    if (!requested_.insert(key).second) return std::nullopt;
    pool().start([load = load_, key = std::move(key), ext = index.ext(entry), row, generation = generation_,
                  dropped = dropped_, target = QPointer<MetaRequests>(this)]() mutable {
        if (dropped->load()) return;
        FileMeta meta = load(key.path, key.size, ext);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [target, generation, key = std::move(key), meta = std::move(meta), row]() mutable {
                if (target) target->arrived(generation, std::move(key), std::move(meta), row);
            },
            Qt::QueuedConnection);
    });
    return std::nullopt;
}

void MetaRequests::arrived(std::uint64_t generation, Key key, FileMeta meta, std::size_t row) {
    if (generation != generation_) return;
    cache_.insert_or_assign(std::move(key), std::move(meta));
    if (loaded_) loaded_(row);
}

void MetaRequests::reset() {
    dropped_->store(true);
    dropped_ = std::make_shared<std::atomic<bool>>(false);
    ++generation_;
    requested_.clear();
    if (cache_.size() > kCacheLimit) cache_.clear();
}

void MetaRequests::waitForLoadsForTesting() {
    pool().waitForDone();
    QCoreApplication::sendPostedEvents();
}

}  // namespace quorvanta::app
