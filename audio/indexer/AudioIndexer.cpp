#include "audio/indexer/AudioIndexer.h"

#include "QuorvantaCore/audio_table/AudioTable.h"
#include "audio/parser/AudioParser.h"
#include "platform/dispatch/ParallelPull.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace quorvanta::audio {
namespace {

// Folders, junk, roots and deleted entries are never candidates.
constexpr std::uint8_t kNotCandidate =
    (core::EntryFlags::dir | core::EntryFlags::junk | core::EntryFlags::root | core::EntryFlags::deleted).rawValue;
constexpr std::uint64_t kMinBytes = 128;
constexpr std::size_t kChunk = 16;   // entries a worker claims at a time
constexpr std::size_t kBatch = 256;  // rows stored per upsert

AudioIndexer::Pending pendingIn(const core::VolumeIndex& index, const core::AudioTable& table) {
    AudioIndexer::Pending out;
    std::vector<bool> audioExt(0x10000, false);
    for (const std::uint16_t id : index.extIDs(AudioIndexer::extensions)) audioExt[id] = true;
    const auto cols = table.snapshot();
    const std::size_t rows = cols->count();
    std::size_t row = 0;
    const std::uint32_t count = index.count();
    for (std::uint32_t e = 0; e < count; ++e) {
        if (index.flags(e).rawValue & kNotCandidate) continue;
        if (!audioExt[index.extID(e)] || index.size(e) < kMinBytes) continue;
        ++out.total;
        // Both sequences ascend, so the row cursor only moves forward.
        while (row < rows && cols->entry[row] < e) ++row;
        const bool upToDate = row < rows && cols->entry[row] == e && cols->mtime[row] == index.mtime(e);
        if (!upToDate) out.todo.push_back(e);
    }
    return out;
}

}  // namespace

const std::vector<std::string> AudioIndexer::extensions = {"mp3", "mp2",  "flac", "wav", "wave",
                                                           "aif", "aiff", "aifc", "m4a", "m4b"};

AudioIndexer::AudioIndexer(std::shared_ptr<core::VolumeIndex> index, int threads)
    : index_(std::move(index)), threads_(std::max(threads, 1)) {
    index_->audioAttached();
}

AudioIndexer::Pending AudioIndexer::pending() const { return pendingIn(*index_, *index_->audioAttached()); }

std::int64_t AudioIndexer::run() {
    const auto table = index_->audioAttached();
    const Pending work = pendingIn(*index_, *table);
    if (work.todo.empty()) {
        if (onProgress) onProgress({work.total, work.total});
        return 0;
    }
    const std::int64_t base = work.total - static_cast<std::int64_t>(work.todo.size());
    const Parser parse =
        parser_ ? parser_ : [](const std::string& path, std::string_view ext) { return AudioParser::parse(path, ext); };

    std::mutex runLock;
    std::int64_t processed = 0;                // runLock
    std::vector<core::AudioTable::Row> batch;  // runLock

    // Stores the batch and tells the progress; runLock held.
    auto flush = [&] {
        table->upsert(std::exchange(batch, {}));
        if (onProgress) onProgress({base + processed, work.total});
    };

    // Reads the file of work.todo[k] into the batch.
    const auto readOne = [&](std::size_t k) {
        const std::uint32_t e = work.todo[k];
        if (index_->flags(e).contains(core::EntryFlags::deleted)) return;
        // The time is taken before the read: a file that changes while it is read is stored
        // under its old time, and so is read again by the next run.
        const std::uint32_t mtime = index_->mtime(e);
        core::AudioMeta meta = parse(index_->path(e), index_->ext(e)).value_or(core::AudioMeta{});
        std::lock_guard guard(runLock);
        batch.push_back({e, mtime, std::move(meta)});
        ++processed;
        if (batch.size() >= kBatch) flush();
    };
    platform::parallelPull(work.todo.size(), static_cast<std::size_t>(threads_), kChunk, cancelled_, readOne);

    std::lock_guard guard(runLock);
    if (!batch.empty()) flush();
    return processed;
}

void AudioIndexer::cancel() { cancelled_.cancel(); }

bool AudioIndexer::isCancelled() const { return cancelled_.isCancelled(); }

void AudioIndexer::setParserForTesting(Parser parser) { parser_ = std::move(parser); }

}  // namespace quorvanta::audio
