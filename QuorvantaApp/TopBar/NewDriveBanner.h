// The rows that ask about drives just mounted that are no source yet: one row per entry of the
// model's new drives, in their order and identified by the drive's key, each with "New drive
// “<name>” — should <app> index it?", "Index" (the drive becomes a whole-volume source) and "No"
// (it is recorded as a disabled source). A row takes one answer: it is disabled until the redraw
// that drops it. A row whose drive is still listed stays the same widget when others come or go.
// The banner hides itself while the list is empty.
//
// It redraws after each change of the model.
//
// Threads: main thread. The model must outlive the banner.
#pragma once

#include "QuorvantaApp/Widgets/CoalescedRefresh.h"
#include "QuorvantaApp/model/drives/Candidates.h"

#include <QWidget>

#include <vector>

class QPushButton;
class QVBoxLayout;

namespace quorvanta::app {

class AppModel;
class ToneText;

class NewDriveBanner final : public QWidget {
public:
    class Row;

    static constexpr int kSpacing = 8;
    static constexpr int kHorizontalPadding = 16;
    static constexpr int kVerticalPadding = 6;
    static constexpr qreal kFontSize = 12;
    static constexpr qreal kButtonFontSize = 11;
    // The rows' ground: the theme's accent at this opacity.
    static constexpr qreal kGroundOpacity = 0.10;

    explicit NewDriveBanner(AppModel& model, QWidget* parent = nullptr);
    ~NewDriveBanner() override;

    // The rows in their order.
    std::vector<Row*> rows() const;

private:
    void refresh();

    AppModel& model_;
    QVBoxLayout* list_;
    CoalescedRefresh refresh_;
};

class NewDriveBanner::Row final : public QWidget {
public:
    Row(AppModel& model, const Candidate& candidate, QWidget* parent);

    const Candidate& candidate() const { return candidate_; }
    void setCandidate(const Candidate& candidate);
    ToneText* question() const { return question_; }
    QPushButton* indexButton() const { return index_; }
    QPushButton* noButton() const { return no_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Answers for the row's drive; the row takes no second answer.
    void answer(void (AppModel::*operation)(const Candidate&));

    AppModel& model_;
    Candidate candidate_;
    ToneText* question_;
    QPushButton* index_;
    QPushButton* no_;
};

}  // namespace quorvanta::app
