// The bottom line of the search window. On the left the summary of the last search (StatusTexts.h:
// the query error in red, the entries indexed, or the hits and the search time) and, while a sort
// order is being built, a mini spinner with "sorting …"; on the right one VolumeChip per volume of
// the application model, in the model's order. It fills its width with the theme's bar colour.
//
// The chips never widen the window: when they do not fit, their row is cut at the right edge, and
// the summary keeps its place and its whole text (a text wider than kSummaryMinimumWidth may end
// in an ellipsis when the window is too narrow for it).
//
// It redraws after each change of the model and of any of its volumes; a change of the volume
// list rebuilds the chips. It only reads the model; the chips change the hidden volumes.
//
// Threads: main thread. The model must outlive the bar.
#pragma once

#include "QuorvantaApp/Widgets/CoalescedRefresh.h"
#include "QuorvantaApp/Widgets/VolumeFollower.h"

#include <QWidget>

#include <memory>
#include <vector>

namespace quorvanta::app {

class AppModel;
class ToneText;
class VolumeChip;
class VolumeState;

class StatusBar final : public QWidget {
public:
    static constexpr qreal kFontSize = 11;
    static constexpr int kSpacing = 14;
    static constexpr int kHorizontalPadding = 16;
    static constexpr int kVerticalPadding = 7;
    static constexpr int kSortingSpacing = 4;
    static constexpr int kSummaryMinimumWidth = 320;

    explicit StatusBar(AppModel& model, QWidget* parent = nullptr);
    ~StatusBar() override;

    // For the tests: the summary, the sorting group and the chips in their order.
    ToneText* summary() const { return summary_; }
    QWidget* sortingGroup() const { return sorting_; }
    std::vector<VolumeChip*> chips() const;
    // The row the chips are placed in; it may be narrower than they are.
    QWidget* chipRow() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    class ChipRow;

    void refresh();
    void syncChips();

    AppModel& model_;
    ToneText* summary_;
    QWidget* sorting_;
    ChipRow* chipRow_;
    std::vector<std::shared_ptr<VolumeState>> shown_;  // the volumes the chips were built for
    CoalescedRefresh refresh_;
    // Last: dropped first, so no observer runs into a bar being destroyed.
    VolumeFollower volumes_{refresh_};  // their counts make the summary's total
};

}  // namespace quorvanta::app
