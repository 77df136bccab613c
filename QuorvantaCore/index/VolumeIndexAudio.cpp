// The audio-table members of VolumeIndex: the table attached to the index and its version.
#include "QuorvantaCore/index/VolumeIndex.h"

#include "QuorvantaCore/audio_table/AudioTable.h"

namespace quorvanta::core {

std::uint64_t VolumeIndex::audioVersion() const {
    std::lock_guard guard(lock_);
    return audio_ ? audio_->version() : 0;
}

std::shared_ptr<AudioTable> VolumeIndex::audioAttached() {
    std::lock_guard guard(lock_);
    if (!audio_) audio_ = std::make_shared<AudioTable>();
    return audio_;
}

}  // namespace quorvanta::core
