// Audio maintenance: the analysis of a volume's audio files when its index changed, on the
// audio queue, with its progress published on the volume state.
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/maintenance/Maintenance.h"

#include "audio/indexer/AudioIndexer.h"

namespace quorvanta::app {

void AppModel::maintainAudio(const std::shared_ptr<VolumeState>& volume) {
    requireMain();
    if (volume->scanning.get() || volume->updating.get() || volume->audioRunning.get()) return;
    const std::shared_ptr<core::VolumeIndex>& index = volume->index();
    // Taken before the analysis: changes made while it runs start another one afterwards.
    const std::pair<std::int64_t, std::int64_t> signature{index->count(), index->mutations()};
    if (signature == volume->audioSig) return;
    volume->audioSig = signature;
    volume->audioRunning.set(true);
    audioQueue_.async([weakModel = weak_from_this(), weakVolume = std::weak_ptr<VolumeState>(volume), &main = main_,
                       work = work_, index, snapshotPath = volume->snapshotPath(), persist = persist_] {
        audio::AudioIndexer indexer(index, maintenance::kAudioThreads);
        const auto progress = [&main, weakVolume](std::int64_t done, std::int64_t total) {
            main.post([weakVolume, done, total] {
                if (const auto volume = weakVolume.lock()) {
                    volume->audioDone.set(done);
                    volume->audioTotal.set(total);
                }
            });
        };
        indexer.onProgress = [progress](audio::AudioIndexer::Progress step) { progress(step.done, step.total); };
        const audio::AudioIndexer::Pending pending = indexer.pending();
        progress(pending.total - static_cast<std::int64_t>(pending.todo.size()), pending.total);
        std::int64_t processed = 0;
        if (!pending.todo.empty()) {
            processed = indexer.run();
            if (processed > 0 && persist && work->beginWrite()) {
                index->saveAudio(snapshotPath);
                work->endWrite();
            }
        }
        main.post([weakModel, weakVolume, processed] {
            if (const auto volume = weakVolume.lock()) volume->audioRunning.set(false);
            const auto model = weakModel.lock();
            if (model && processed > 0) model->runSearch(false);
        });
    });
}

}  // namespace quorvanta::app
