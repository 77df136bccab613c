// The results area's plain list until the results table takes its place: one line per row of the
// model's current result set, showing the entry's path as the user sees it. Each line is read
// from its volume's index when the list draws it; the rows are never copied out or measured one
// by one (all lines are one line high).
//
// It shows each new result set the model publishes; a set marked resetScroll scrolls the list
// back to the top and drops the selection. While it lives it is the model's focusTable: the query
// field's Return and Down keys move the focus into it (to its first line when none is current).
//
// Threads: main thread. The model must outlive the list.
#pragma once

#include "QuorvantaApp/Widgets/CoalescedRefresh.h"

#include <QListView>

#include <cstdint>
#include <memory>

namespace quorvanta::app {

class AppModel;
class ResultSet;

class ResultPathList final : public QListView {
public:
    explicit ResultPathList(AppModel& model, QWidget* parent = nullptr);
    ~ResultPathList() override;

    // The result set shown.
    const std::shared_ptr<const ResultSet>& shown() const;
    // Test seam: how many lines were read from the indexes so far.
    std::uint64_t linesReadForTesting() const;
    // Takes the keyboard focus, on the current line or else the first.
    void takeFocus();

private:
    class Rows;
    struct Focus;

    void refresh();

    AppModel& model_;
    Rows* rows_;
    CoalescedRefresh refresh_;
};

}  // namespace quorvanta::app
