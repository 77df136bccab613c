// A chip of the category row: the category's display name beside its symbol on a capsule
// (CapsuleButton), filled with the theme's fill colour when selected. A click runs the action the
// owner gave, whether or not the chip is selected.
//
// CategoryChipRow keeps the row of chips of an application model: the chip list of the stored
// categories (CategoryChipList.h), rebuilt after each change of the model or of the categories. A
// chip's click selects its category: the filter is set, browse-all turned off and the search run
// with the scroll reset, in that order (AppModel::setFilter), also for the chip already selected.
// The row wants the width of all its chips; whoever places it lets it scroll when it is wider.
//
// Threads: main thread. The model must outlive the row.
#pragma once

#include "QuorvantaApp/Widgets/CoalescedRefresh.h"
#include "QuorvantaApp/model/prefs/Category.h"
#include "platform/notify/Connection.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QHBoxLayout;

namespace quorvanta::app {

class AppModel;
class CapsuleButton;

class CategoryChip final : public QWidget {
public:
    CategoryChip(Category category, bool selected, std::function<void()> action, QWidget* parent = nullptr);

    const Category& category() const { return category_; }
    bool isSelected() const;
    // The capsule that is clicked.
    CapsuleButton* button() const { return button_; }

private:
    const Category category_;
    CapsuleButton* button_;
    const std::function<void()> action_;
};

class CategoryChipRow final : public QWidget {
public:
    static constexpr int kSpacing = 6;

    explicit CategoryChipRow(AppModel& model, QWidget* parent = nullptr);
    ~CategoryChipRow() override;

    // The chips in their order.
    std::vector<CategoryChip*> chips() const;

private:
    void refresh();

    AppModel& model_;
    QHBoxLayout* row_;
    CoalescedRefresh refresh_;
    // Last: dropped first, so no observer runs into a row being destroyed.
    platform::Connection categoryChanges_;
};

}  // namespace quorvanta::app
