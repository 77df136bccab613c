#include "QuorvantaCore/index/VolumeIndex.h"

#include "QuorvantaCore/text/Fold.h"
#include "platform/fs/PathText.h"
#include "platform/thread/Relaxed.h"

#include <sys/random.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <stdexcept>
#include <utility>

namespace quorvanta::core {
namespace {

using platform::relaxed;

std::int64_t nowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The engine's hook is process-wide; it goes in once, before the first handle exists, however
// many indexes are made at once.
void installFoldHook() {
    static std::once_flag once;
    std::call_once(once, [] { fidx_set_fold(quorvanta_fold_hook); });
}

std::uint64_t randomStoreID() {
    std::uint64_t id = 0;
    while (id == 0) {
        const ssize_t got = getrandom(&id, sizeof id, 0);
        if (got == static_cast<ssize_t>(sizeof id)) continue;
        if (got < 0 && errno == EINTR) continue;
        std::random_device device;  // getrandom unavailable: the library's own source
        id = (std::uint64_t(device()) << 32) | device();
    }
    return id;
}

// The texts as C strings for the engine, leaving out those with a NUL byte: cut at the NUL they
// would name another path or extension than the one given, and as given they match nothing.
std::vector<const char*> cStrings(const std::vector<std::string>& texts) {
    std::vector<const char*> out;
    for (const std::string& t : texts)
        if (t.find('\0') == std::string::npos) out.push_back(t.c_str());
    return out;
}

std::vector<std::string> withoutOneTrailingSlash(std::vector<std::string> paths) {
    for (std::string& p : paths)
        if (p.size() >= 2 && p.back() == '/') p.pop_back();
    return paths;
}

std::string_view nameView(const fidx* h, std::uint32_t i) {
    return reinterpret_cast<const char*>(h->names + h->name_off[i]);
}

}  // namespace

VolumeIndex::VolumeIndex(Passkey, EngineHandle handle, std::uint64_t storeID, std::vector<std::string> excludes)
    : s_(std::move(handle)),
      orders_(s_.get()),
      storeID_(storeID),
      excludes_(withoutOneTrailingSlash(std::move(excludes))) {
    const std::vector<const char*> paths = cStrings(excludes_);
    fidx_set_excludes(s_.get(), paths.data(), static_cast<std::uint32_t>(paths.size()));
}

VolumeIndex::~VolumeIndex() = default;

std::shared_ptr<VolumeIndex> VolumeIndex::create(std::uint32_t maxEntries, std::uint64_t maxNameBytes,
                                                 std::vector<std::string> excludes) {
    installFoldHook();
    EngineHandle handle(fidx_new(maxEntries, maxNameBytes));
    return std::make_shared<VolumeIndex>(Passkey{}, std::move(handle), randomStoreID(), std::move(excludes));
}

std::shared_ptr<VolumeIndex> VolumeIndex::adopting(EngineHandle handle, std::uint64_t storeID,
                                                   std::vector<std::string> excludes) {
    if (!handle) throw std::invalid_argument("VolumeIndex::adopting needs an engine handle");
    installFoldHook();  // entries appended to the adopted handle are folded like scanned ones
    auto index = std::make_shared<VolumeIndex>(Passkey{}, std::move(handle), storeID, std::move(excludes));
    std::vector<std::string> roots;
    for (auto& [entry, path] : index->rootEntries()) roots.push_back(std::move(path));
    index->noteRootMountPoints(roots);
    return index;
}

std::shared_ptr<VolumeIndex> VolumeIndex::scanned(const std::vector<std::string>& roots, int threads) {
    auto index = create(defaultMaxEntries, defaultMaxNameBytes, {});
    index->scan(roots, threads, 0);
    return index;
}

void VolumeIndex::setIncludeExts(std::vector<std::string> exts) {
    std::lock_guard guard(lock_);
    includeExts_ = std::move(exts);
    const std::vector<const char*> list = cStrings(includeExts_);
    fidx_set_include_exts(s_.get(), list.data(), static_cast<std::uint32_t>(list.size()));
}

void VolumeIndex::scan(const std::vector<std::string>& roots, int threads, int throttleMicros) {
    const std::int64_t start = nowNanos();
    {
        // `cancelScan` sets `cancelled_` before it takes `lock_` to stop the engine, and this
        // reads it under `lock_`: whichever of the two stores to the engine comes last, a cancel
        // is never overwritten by a scan that starts meanwhile.
        std::lock_guard guard(lock_);
        ++scansRunning_;
        fidx_scan_control(s_.get(), cancelled_.isCancelled() ? 1 : 0,
                          static_cast<std::uint32_t>(std::max(throttleMicros, 0)));
    }
    struct Finish {
        VolumeIndex& index;
        std::int64_t start;
        ~Finish() { index.finishScan(start); }
    } finish{*this, start};

    noteRootMountPoints(roots);
    for (const std::string& root : roots) {
        scan_stats one{};
        int error = ENOENT;  // a path with a NUL byte names no folder (cut there, it would name another)
        if (root.find('\0') == std::string::npos)
            error = fidx_scan(s_.get(), root.c_str(), threads, &one) == 0 ? 0 : errno;
        const bool full = error == ENOSPC && overflowed();
        if (error != 0 && !full) throw IndexError::cannotOpen(root);
        {
            std::lock_guard guard(lock_);
            scan_stats_add(&stats_, &one);
        }
        if (cancelled_.isCancelled()) throw IndexError::cancelled();
        if (full) return;  // a root refused for capacity: the index holds what fitted
    }
}

void VolumeIndex::finishScan(std::int64_t startNanos) {
    const double seconds = static_cast<double>(nowNanos() - startNanos) / 1e9;
    std::lock_guard guard(lock_);
    --scansRunning_;
    scanSeconds_ += seconds;
}

void VolumeIndex::cancelScan() {
    cancelled_.cancel();
    std::lock_guard guard(lock_);
    fidx_scan_control(s_.get(), 1, 0);
}

std::uint32_t VolumeIndex::count() const { return fidx_count(s_.get()); }

std::int64_t VolumeIndex::liveCount() const {
    const std::int64_t all = count();
    return std::max<std::int64_t>(all - deletedCount(), 0);
}

std::string VolumeIndex::name(std::uint32_t i) const { return std::string(nameView(s_.get(), i)); }

std::string VolumeIndex::path(std::uint32_t i) const {
    std::string out;
    pathInto(i, out);
    return out;
}

void VolumeIndex::pathInto(std::uint32_t i, std::string& out) const {
    const fidx* h = s_.get();
    const std::uint32_t n = count();
    // The chain from the entry up to its root. At most `n` parents are followed and a parent
    // must be a published entry, so no damaged index can make this loop or read past the end.
    thread_local std::vector<std::uint32_t> chain;
    chain.assign(1, i);
    for (std::uint32_t e = i; chain.size() <= n;) {
        const std::uint32_t p = h->parent[e];
        if (p == FIDX_NONE || p >= n) break;
        chain.push_back(p);
        e = p;
    }
    out.assign(nameView(h, chain.back()));
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) platform::appendToPath(out, nameView(h, *it));
}

std::optional<std::uint32_t> VolumeIndex::parent(std::uint32_t i) const {
    const std::uint32_t p = s_->parent[i];
    if (p == FIDX_NONE) return std::nullopt;
    return p;
}

EntryFlags VolumeIndex::flags(std::uint32_t i) const { return EntryFlags{relaxed(s_->flags[i])}; }

std::uint64_t VolumeIndex::size(std::uint32_t i) const { return relaxed(s_->size[i]); }

std::uint32_t VolumeIndex::mtime(std::uint32_t i) const { return relaxed(s_->mtime[i]); }

std::uint32_t VolumeIndex::ctime(std::uint32_t i) const { return relaxed(s_->ctime[i]); }

std::uint16_t VolumeIndex::extID(std::uint32_t i) const { return s_->ext[i]; }

std::string VolumeIndex::ext(std::uint32_t i) const { return extName(extID(i)); }

std::string VolumeIndex::extName(std::uint16_t id) const {
    if (id == 0 || id >= s_->ext_count.load(std::memory_order_acquire)) return "";
    const char* text = s_->ext_names[id];
    return std::string(text, strnlen(text, sizeof(fidx_ext_text)));
}

std::vector<std::uint16_t> VolumeIndex::extIDs(const std::vector<std::string>& exts) const {
    const fidx* h = s_.get();
    const std::uint32_t end = h->ext_count.load(std::memory_order_acquire);
    std::vector<std::uint16_t> ids;
    for (const std::string& given : exts) {
        // The table holds folded text, so the given extension is folded the same way: "ÉPS"
        // finds "eps".
        const std::string text = fold(given);
        for (std::uint32_t id = 1; id < end; ++id) {
            const char* known = h->ext_names[id];
            if (strnlen(known, sizeof(fidx_ext_text)) == text.size() &&
                std::memcmp(known, text.data(), text.size()) == 0) {
                ids.push_back(static_cast<std::uint16_t>(id));
                break;
            }
        }
    }
    return ids;
}

std::vector<std::uint32_t> VolumeIndex::directories(std::uint32_t upTo) const {
    // Clamped to the published entries: flags beyond them are not written yet.
    const std::uint32_t n = std::min(upTo, count());
    std::lock_guard guard(dirLock_);
    for (; dirCache_.count < n; ++dirCache_.count)
        if (relaxed(s_->flags[dirCache_.count]) & FIDX_FOLDER) dirCache_.dirs.push_back(dirCache_.count);
    const auto end = std::lower_bound(dirCache_.dirs.begin(), dirCache_.dirs.end(), n);
    return std::vector<std::uint32_t>(dirCache_.dirs.begin(), end);
}

std::uint64_t VolumeIndex::arrayBytes() const {
    const std::uint32_t n = count();
    // name_off[n] holds the name bytes in use; it is written before n is published.
    return 2 * std::uint64_t(s_->name_off[n]) + 27 * std::uint64_t(n) + 4;
}

bool VolumeIndex::overflowed() const { return fidx_overflowed(s_.get()) != 0; }

std::shared_ptr<AudioTable> VolumeIndex::audio() const {
    std::lock_guard guard(lock_);
    return audio_;
}

void VolumeIndex::setAudio(std::shared_ptr<AudioTable> table) {
    std::lock_guard guard(lock_);
    audio_ = std::move(table);
}

std::shared_ptr<ContentIndex> VolumeIndex::content() const {
    std::lock_guard guard(lock_);
    return content_;
}

void VolumeIndex::setContent(std::shared_ptr<ContentIndex> index) {
    std::lock_guard guard(lock_);
    content_ = std::move(index);
}

std::int64_t VolumeIndex::deletedCount() const {
    std::lock_guard guard(lock_);
    return deletedCount_;
}

std::int64_t VolumeIndex::mutations() const {
    std::lock_guard guard(lock_);
    return mutations_;
}

std::vector<std::string> VolumeIndex::includeExts() const {
    std::lock_guard guard(lock_);
    return includeExts_;
}

bool VolumeIndex::isScanning() const {
    std::lock_guard guard(lock_);
    return scansRunning_ > 0;
}

scan_stats VolumeIndex::stats() const {
    std::lock_guard guard(lock_);
    return stats_;
}

double VolumeIndex::scanSeconds() const {
    std::lock_guard guard(lock_);
    return scanSeconds_;
}

std::string VolumeIndex::fold(std::string_view text) { return text::fold(text); }

}  // namespace quorvanta::core
