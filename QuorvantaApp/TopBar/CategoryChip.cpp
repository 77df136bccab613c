#include "QuorvantaApp/TopBar/CategoryChip.h"

#include "QuorvantaApp/TopBar/CategoryChipList.h"
#include "QuorvantaApp/Widgets/CapsuleButton.h"
#include "QuorvantaApp/model/app/AppModel.h"

#include <QHBoxLayout>

namespace quorvanta::app {

CategoryChip::CategoryChip(Category category, bool selected, std::function<void()> action, QWidget* parent)
    : QWidget(parent),
      category_(std::move(category)),
      button_(new CapsuleButton(QString::fromStdString(category_.displayName()), this)),
      action_(std::move(action)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    button_->setGlyph(category_.symbol);
    button_->setSelected(selected);
    QObject::connect(button_, &CapsuleButton::clicked, this, [this] {
        if (action_) action_();
    });
    auto* box = new QHBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(button_);
}

bool CategoryChip::isSelected() const { return button_->isSelected(); }

CategoryChipRow::CategoryChipRow(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), row_(new QHBoxLayout(this)), refresh_(this, [this] { refresh(); }) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    row_->setContentsMargins(0, 0, 0, 0);
    row_->setSpacing(kSpacing);
    row_->setSizeConstraint(QLayout::SetFixedSize);
    refresh_.follow(model_.objectWillChange);
    categoryChanges_ = model_.prefs().observeCategories([this](const auto&) { refresh_.request(); });
    refresh();
}

CategoryChipRow::~CategoryChipRow() = default;

std::vector<CategoryChip*> CategoryChipRow::chips() const {
    std::vector<CategoryChip*> found;
    for (int i = 0; i < row_->count(); ++i)
        if (auto* chip = dynamic_cast<CategoryChip*>(row_->itemAt(i)->widget())) found.push_back(chip);
    return found;
}

void CategoryChipRow::refresh() {
    const auto items = categoryChipList(model_.prefs().categories(), model_.filter->id);
    // Built anew only when what the chips show changed, so a chip is not replaced under the
    // pointer that clicks it.
    const auto shown = chips();
    bool same = shown.size() == items.size();
    for (std::size_t i = 0; same && i < items.size(); ++i)
        same = shown[i]->category() == items[i].category && shown[i]->isSelected() == items[i].selected;
    if (same) return;
    for (CategoryChip* chip : shown) {
        row_->removeWidget(chip);
        chip->hide();
        chip->deleteLater();
    }
    for (const CategoryChipItem& item : items)
        row_->addWidget(new CategoryChip(
            item.category, item.selected, [this, category = item.category] { model_.setFilter(category); }, this));
}

}  // namespace quorvanta::app
