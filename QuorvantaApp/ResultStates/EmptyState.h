// Stands in for the results before anything was asked: a magnifying glass, "Type to search", six
// example searches as chips, and the button that shows everything, with the total of entries over
// every volume (offline catalogs included).
//
// An example chip sets the model's query to its text (whose setter searches). The show-all button
// only turns the model's browse-all on: the table beneath already holds the result of the empty
// query, so no search is started.
//
// The examples take the first arrangement that fits the view's width (ExampleLayout.h): one row,
// else three and three. The view never asks for more width than the wider row of three.
//
// It redraws after each change of the model and of any of its volumes.
//
// Threads: main thread. The model must outlive the view.
#pragma once

#include "QuorvantaApp/ResultStates/ExampleLayout.h"
#include "QuorvantaApp/Widgets/CoalescedRefresh.h"
#include "QuorvantaApp/Widgets/VolumeFollower.h"

#include <QWidget>

#include <memory>
#include <string_view>
#include <vector>

class QAbstractButton;

namespace quorvanta::app {

class AppModel;
class CapsuleButton;
class VolumeState;

class EmptyState final : public QWidget {
public:
    static constexpr int kSpacing = 14;
    static constexpr int kExampleSpacing = 8;
    static constexpr int kShowAllTopPadding = 4;
    static constexpr qreal kExampleFontSize = 12;

    explicit EmptyState(AppModel& model, QWidget* parent = nullptr);
    ~EmptyState() override;

    // The button of one example: its text in the fixed-width font on a plain capsule; a click
    // sets the model's query to the text.
    CapsuleButton* exampleChip(std::string_view text);

    // For the tests: the example chips in their order, how they are arranged, and the show-all
    // button.
    const std::vector<CapsuleButton*>& exampleChips() const;
    ExampleArrangement arrangement() const;
    QAbstractButton* showAllButton() const { return showAll_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Examples;

    void refresh();

    AppModel& model_;
    Examples* examples_;
    QAbstractButton* showAll_;
    CoalescedRefresh refresh_;
    // Last: dropped first, so no observer runs into a view being destroyed.
    VolumeFollower volumes_{refresh_};  // their counts make the show-all total
};

}  // namespace quorvanta::app
