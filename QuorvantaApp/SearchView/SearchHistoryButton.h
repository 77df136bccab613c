// The clock button beside the query field and its popover of saved and recent searches.
//
// The button flips the popover: a popup window 300 wide below the button that a click outside or
// Escape closes. The popover holds, top to bottom: the save button ("Save this search", or
// "Remove from favorites" when the trimmed query is a favourite; disabled while the trimmed query
// is blank), the favourites (all of them, newest first), and the recent searches (the newest
// SearchHistoryModel::kShownRecent) under a heading with "Clear" while there are any. Each row is
// the entry, which sets the model's query (whose setter searches) and closes the popover without
// recording it, and a remove control, which removes only that entry and keeps the popover open.
// The popover is built again after each change of the history and of the model's query.
//
// Threads: main thread. The application model and the history model must outlive the button.
#pragma once

#include "QuorvantaApp/Widgets/CoalescedRefresh.h"
#include "QuorvantaCore/search/SearchHistory.h"

#include <QFrame>
#include <QPointer>

#include <cstddef>
#include <string>
#include <vector>

class QVBoxLayout;

namespace quorvanta::app {

class AppModel;
class PlainButton;
class SearchHistoryModel;

class HistoryPopover final : public QFrame {
public:
    static constexpr int kWidth = 300;
    static constexpr int kSpacing = 8;
    static constexpr int kPadding = 12;
    static constexpr int kRowSpacing = 6;
    static constexpr qreal kCaptionSize = 10;
    static constexpr qreal kRemoveSize = 9;

    // One entry of a list: its text, the button that picks it and its remove control.
    struct Row {
        std::string text;
        PlainButton* entry;
        PlainButton* remove;
    };

    HistoryPopover(AppModel& model, SearchHistoryModel& history, QWidget* parent = nullptr);
    ~HistoryPopover() override;

    // For the tests: the parts as they are now.
    PlainButton* saveButton() const { return save_; }
    PlainButton* clearButton() const { return clear_; }
    const std::vector<Row>& favoriteRows() const { return favorites_; }
    const std::vector<Row>& recentRows() const { return recent_; }
    // The texts shown for empty lists, when shown.
    QWidget* noFavoritesText() const { return noFavorites_; }
    QWidget* noRecentText() const { return noRecent_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void build();
    // One row per text of `texts`, at most `limit`, into `rows` (favoriteRows or recentRows,
    // whose remove control removes a favourite or a recent search).
    void addRows(QVBoxLayout& column, const std::vector<std::string>& texts, std::size_t limit, std::vector<Row>& rows);

    AppModel& model_;
    SearchHistoryModel& history_;
    QWidget* content_ = nullptr;
    PlainButton* save_ = nullptr;
    PlainButton* clear_ = nullptr;
    QWidget* noFavorites_ = nullptr;
    QWidget* noRecent_ = nullptr;
    std::vector<Row> favorites_;
    std::vector<Row> recent_;
    core::SearchHistory shownStore_;  // the lists and the query the content was built for
    std::string shownQuery_;
    CoalescedRefresh refresh_;
};

class SearchHistoryButton final : public QWidget {
public:
    SearchHistoryButton(AppModel& model, SearchHistoryModel& history, QWidget* parent = nullptr);
    ~SearchHistoryButton() override;

    // Opens the popover when it is closed, else closes it.
    void toggle();
    bool isOpen() const;
    // The popover while it is open.
    HistoryPopover* popover() const;
    PlainButton* button() const { return button_; }

private:
    AppModel& model_;
    SearchHistoryModel& history_;
    PlainButton* button_;
    QPointer<HistoryPopover> popover_;
};

}  // namespace quorvanta::app
