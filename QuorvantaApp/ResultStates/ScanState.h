// Stands in for the results while a volume is read and nothing can be shown yet: a spinner,
// "Reading <name> …" and the entries read so far, which climb while the scan runs (it redraws
// after each change of the volume).
//
// Threads: main thread. Keeps the volume state alive while it shows it.
#pragma once

#include "QuorvantaApp/Widgets/CoalescedRefresh.h"

#include <QWidget>

#include <memory>

namespace quorvanta::app {

class ToneText;
class VolumeState;

class ScanState final : public QWidget {
public:
    static constexpr int kSpacing = 12;

    explicit ScanState(std::shared_ptr<VolumeState> v, QWidget* parent = nullptr);
    ~ScanState() override;

    const std::shared_ptr<VolumeState>& volume() const { return v_; }
    // For the tests: the headline and the count line.
    ToneText* headline() const { return headline_; }
    ToneText* countText() const { return count_; }

private:
    void refresh();

    const std::shared_ptr<VolumeState> v_;
    ToneText* headline_;
    ToneText* count_;
    CoalescedRefresh refresh_;
};

}  // namespace quorvanta::app
