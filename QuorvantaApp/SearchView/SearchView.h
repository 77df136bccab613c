// The whole content of the search panel: the top bar (the query field with its history button and
// clear button, the category chips with "Hidden files", the new-drive banner), the results area
// with at most one cover over the results (Overlay.h), and the status bar. It holds no search
// logic: it writes the model's query, filter and junk switch, whose setters search, and shows
// what the model publishes.
//
// The query field and the model's query are bound both ways: every edit is written into the
// model at once, without a delay; a query set elsewhere (a history pick, an example chip, a
// recall) is put into the field without counting as an edit, with the cursor at its end. In the
// field, Return records the query in the history and calls the model's focusTable; Down calls
// focusTable and is taken whether or not one is set; Up puts the next older recent search into the
// field, and is left to the field when there is none. Escape that reaches the view unhandled (a
// popover or an editor takes its own first) posts kHideSearch. The field takes the focus when the
// view is shown and on kFocusSearch, both on the standard notification centre.
//
// The results area holds the widget the results factory makes (the results table when none is
// given). The view redraws after each change of the model and of any of its volumes.
//
// Threads: main thread. The model and the history model must outlive the view; the model's main
// queue delivers the notifications.
#pragma once

#include "QuorvantaApp/SearchView/Overlay.h"
#include "QuorvantaApp/Widgets/CoalescedRefresh.h"
#include "QuorvantaApp/Widgets/VolumeFollower.h"
#include "platform/notify/Connection.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QGridLayout;
class QLineEdit;

namespace quorvanta::app {

class AppModel;
class CategoryChipRow;
class NewDriveBanner;
class PlainButton;
class SearchHistoryButton;
class SearchHistoryModel;
class StatusBar;
class VolumeState;

class SearchView final : public QWidget {
public:
    // Makes the widget that shows the model's results, inside `parent`.
    using ResultsFactory = std::function<QWidget*(AppModel& model, QWidget* parent)>;

    static constexpr int kMinimumWidth = 720;
    static constexpr int kMinimumHeight = 360;
    static constexpr int kQueryRowHeight = 52;
    static constexpr int kRowPadding = 16;
    static constexpr int kFieldHeight = 34;
    static constexpr int kFieldPadding = 12;
    static constexpr qreal kFieldRadius = 9;
    static constexpr qreal kFocusFrameWidth = 1.5;
    static constexpr int kFieldSpacing = 10;
    static constexpr qreal kQueryFontSize = 16;
    static constexpr qreal kMagnifierSize = 15;
    static constexpr int kChipSpacing = 6;
    static constexpr int kChipRowBottomPadding = 10;
    static constexpr int kCheckboxGap = 8;
    static constexpr qreal kCheckboxFontSize = 11;
    static constexpr int kResultsPadding = 6;

    SearchView(AppModel& model, SearchHistoryModel& history, ResultsFactory results = {}, QWidget* parent = nullptr);
    ~SearchView() override;

    // What covers the results now.
    Overlay overlay() const;

    // For the tests: the parts.
    QLineEdit* queryField() const;
    PlainButton* clearButton() const { return clear_; }
    SearchHistoryButton* historyButton() const { return historyButton_; }
    QCheckBox* junkBox() const { return junk_; }
    CategoryChipRow* chipRow() const { return chips_; }
    NewDriveBanner* banner() const { return banner_; }
    QWidget* results() const { return results_; }
    // The cover over the results; null when none is shown.
    QWidget* cover() const { return cover_; }
    StatusBar* statusBar() const { return status_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    class QueryField;
    class FieldBox;

    void refresh();
    void showQuery();
    void focusQuery();
    // The field's keys: true when the key was taken.
    bool submit();
    bool moveDown();
    bool recall();
    void updateCover(const Overlay& now);

    AppModel& model_;
    SearchHistoryModel& history_;
    QueryField* field_;
    PlainButton* clear_;
    SearchHistoryButton* historyButton_;
    CategoryChipRow* chips_;
    QCheckBox* junk_;
    NewDriveBanner* banner_;
    QGridLayout* area_;
    QWidget* results_;
    QWidget* cover_ = nullptr;
    Overlay shownOverlay_;
    StatusBar* status_;
    CoalescedRefresh refresh_;
    // Last: dropped first, so no observer runs into a view being destroyed.
    VolumeFollower volumes_{refresh_};  // their scanning picks the cover
    platform::Connection focusRequests_;
};

}  // namespace quorvanta::app
