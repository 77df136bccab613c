// What the report models' tests share: a main queue the test drains and can wait on, with a gate
// that stops a model's worker at its next post; a scripted pair of dialogs; volume states over
// small trees scanned into real indexes; and the interface language held at English.
#pragma once

#include "QuorvantaApp/model/reports/ReportDialogs.h"
#include "QuorvantaApp/model/volume/VolumeState.h"
#include "platform/dispatch/ManualMainQueue.h"
#include "platform/time/Clock.h"
#include "tests/support/LanguageScope.h"
#include "tests/support/TempDir.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvanta::app::test {

using quorvanta::test::readFile;
using quorvanta::test::TempDir;

// A ManualMainQueue that also lets the test wait for posts from other threads, without sleeping.
// While the gate is closed, a post from another thread waits at it before it is queued, so a
// worker stops at a known point (the main thread's own posts pass).
class TestMainQueue final : public platform::MainQueue {
public:
    TestMainQueue();

    void post(platform::Task task) override;
    void postAfter(platform::Clock::Duration delay, platform::Task task) override;
    bool isMainThread() const override { return inner_.isMainThread(); }

    // Runs what is queued; gives how many ran.
    std::size_t drain() { return inner_.drain(); }
    // Runs what is queued and waits for more until `done()` holds; gives how many ran.
    std::size_t drainUntil(const std::function<bool()>& done);

    void closeGate();
    void openGate();
    // Waits until a post is held at the closed gate.
    void waitForHeldPost();

private:
    platform::FakeClock clock_;
    platform::ManualMainQueue inner_;
    std::mutex mutex_;  // guards posted_, gateClosed_ and held_
    std::condition_variable changed_;
    std::uint64_t posted_ = 0;
    bool gateClosed_ = false;
    int held_ = 0;
};

// The save dialog answers `answer`; every request and alert is recorded.
class ScriptedDialogs final : public ReportDialogs {
public:
    struct Alert {
        std::string message;
        std::string informative;
        friend bool operator==(const Alert&, const Alert&) = default;
    };

    std::optional<std::string> chooseSavePath(const SaveRequest& request) override {
        requests.push_back(request);
        return answer;
    }
    void showAlert(const std::string& message, const std::string& informative) override {
        alerts.push_back({message, informative});
    }

    std::optional<std::string> answer;
    std::vector<SaveRequest> requests;
    std::vector<Alert> alerts;
};

// What a fixture volume is: an ordinary drive, the internal disk (whose display prefix is its
// folder), one still scanning, or an offline catalog.
enum class VolumeKind { drive, internal, scanning, offline };

// Files under a temporary folder and volume states over parts of it, each scanned into a real
// index as the application model would (then neither scanning nor updating).
class Trees {
public:
    Trees();

    std::filesystem::path operator/(std::string_view relative) const { return dir_ / relative; }
    std::filesystem::path write(std::string_view relative, std::string_view bytes) const {
        return dir_.write(relative, bytes);
    }
    // A file of `size` bytes whose content is fixed by `seed`: equal seeds and sizes give twins.
    std::filesystem::path file(std::string_view relative, std::size_t size, unsigned seed) const;

    // A volume state named `name` over the folder `relative` (created when missing).
    std::shared_ptr<VolumeState> volume(const std::string& relative, const std::string& name,
                                        VolumeKind kind = VolumeKind::drive);

private:
    TempDir dir_;
    platform::FakeClock clock_;
    VolumeContext context_;
};

using quorvanta::test::LanguageScope;

// The names of the files in a folder, sorted.
std::vector<std::string> filesIn(const std::filesystem::path& folder);

}  // namespace quorvanta::app::test
