// Asks a view's refresh whenever one of a list of volumes changes: the view follows the model's
// current volumes, and `follow` connects anew only when that list itself changed.
//
// Threads: the main thread. Declare it after the refresh it asks, so its connections are dropped
// first.
#pragma once

#include "QuorvantaApp/Widgets/CoalescedRefresh.h"
#include "QuorvantaApp/model/volume/VolumeState.h"
#include "platform/notify/Connection.h"

#include <memory>
#include <vector>

namespace quorvanta::app {

class VolumeFollower {
public:
    explicit VolumeFollower(CoalescedRefresh& refresh) : refresh_(refresh) {}
    VolumeFollower(const VolumeFollower&) = delete;
    VolumeFollower& operator=(const VolumeFollower&) = delete;

    // Whether the list differed from the one followed so far (and is now followed instead).
    bool follow(const std::vector<std::shared_ptr<VolumeState>>& volumes) {
        if (volumes == followed_) return false;
        changes_.clear();
        for (const auto& volume : volumes)
            changes_.push_back(volume->objectWillChange.connect([this] { refresh_.request(); }));
        followed_ = volumes;
        return true;
    }
    const std::vector<std::shared_ptr<VolumeState>>& followed() const { return followed_; }

private:
    CoalescedRefresh& refresh_;
    std::vector<std::shared_ptr<VolumeState>> followed_;
    std::vector<platform::Connection> changes_;
};

}  // namespace quorvanta::app
