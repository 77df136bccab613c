#include "tests/QuorvantaApp/model/reports/ReportFixtures.h"

#include "QuorvantaCore/index/VolumeIndex.h"

#include <algorithm>

namespace quorvanta::app::test {

namespace fs = std::filesystem;

TestMainQueue::TestMainQueue() : MainQueue(clock_), inner_(clock_) {}

void TestMainQueue::post(platform::Task task) {
    std::unique_lock lock(mutex_);
    if (!inner_.isMainThread() && gateClosed_) {
        ++held_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return !gateClosed_; });
        --held_;
    }
    // Queued before the count moves, so that a waiter that sees the count finds the task.
    inner_.post(std::move(task));
    ++posted_;
    changed_.notify_all();
}

void TestMainQueue::postAfter(platform::Clock::Duration delay, platform::Task task) {
    inner_.postAfter(delay, std::move(task));
}

std::size_t TestMainQueue::drainUntil(const std::function<bool()>& done) {
    std::size_t ran = 0;
    while (!done()) {
        std::uint64_t seen = 0;
        {
            std::lock_guard lock(mutex_);
            seen = posted_;
        }
        if (const std::size_t n = inner_.drain(); n > 0) {
            ran += n;
            continue;
        }
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return posted_ != seen; });
    }
    return ran;
}

void TestMainQueue::closeGate() {
    std::lock_guard lock(mutex_);
    gateClosed_ = true;
}

void TestMainQueue::openGate() {
    std::lock_guard lock(mutex_);
    gateClosed_ = false;
    changed_.notify_all();
}

void TestMainQueue::waitForHeldPost() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return held_ > 0; });
}

Trees::Trees() {
    fs::create_directories(dir_ / "data");
    context_.dataDirectory = dir_ / "data";
    context_.mounts = [] { return VolumeContext::MountTable(); };
    context_.volumeUUID = [](const platform::MountEntry&) { return std::optional<std::string>(); };
    context_.clock = &clock_;
}

fs::path Trees::file(std::string_view relative, std::size_t size, unsigned seed) const {
    std::string bytes(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return dir_.write(relative, bytes);
}

std::shared_ptr<VolumeState> Trees::volume(const std::string& relative, const std::string& name, VolumeKind kind) {
    const fs::path root = dir_ / relative;
    fs::create_directories(root);
    VolumeState::Online online;
    online.name = name;
    online.root = root.string();
    online.isInternal = kind == VolumeKind::internal;
    if (online.isInternal) online.displayPrefix = root.string();
    online.scopes = {root.string()};
    online.persist = false;
    auto state = VolumeState::create(online, context_);
    state->index()->scan({root.string()}, 2, 0);
    state->count.set(state->index()->liveCount());
    state->scanning.set(kind == VolumeKind::scanning);
    state->offline.set(kind == VolumeKind::offline);
    return state;
}

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace quorvanta::app::test
