#include "QuorvantaApp/StatusBar/StatusBar.h"

#include "QuorvantaApp/StatusBar/StatusTexts.h"
#include "QuorvantaApp/StatusBar/VolumeChip.h"
#include "QuorvantaApp/Theme/Theme.h"
#include "QuorvantaApp/Widgets/Fonts.h"
#include "QuorvantaApp/Widgets/Spinner.h"
#include "QuorvantaApp/Widgets/ToneWidgets.h"
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaCore/lang/Tr.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>

#include <algorithm>

namespace quorvanta::app {

// The chips side by side, kSpacing apart, from the left edge. It wants their whole width but may
// be given none: chips beyond its width are cut off, and the row never asks the window to grow.
class StatusBar::ChipRow final : public QWidget {
public:
    explicit ChipRow(QWidget* parent) : QWidget(parent) { setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed); }

    void setChips(std::vector<VolumeChip*> chips) {
        chips_ = std::move(chips);
        for (VolumeChip* chip : chips_) chip->show();
        place();
        updateGeometry();
    }
    const std::vector<VolumeChip*>& chips() const { return chips_; }

    QSize sizeHint() const override {
        int width = 0;
        int height = 0;
        for (const VolumeChip* chip : chips_) {
            const QSize hint = chip->sizeHint();
            width += hint.width() + (width > 0 ? kSpacing : 0);
            height = std::max(height, hint.height());
        }
        return {width, height};
    }
    QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

    // Each chip at its ideal size; again whenever one changes (its width follows its state text).
    void place() {
        int x = 0;
        for (VolumeChip* chip : chips_) {
            const QSize hint = chip->sizeHint();
            chip->setGeometry(x, (height() - hint.height()) / 2, hint.width(), hint.height());
            x += hint.width() + kSpacing;
        }
    }

protected:
    void resizeEvent(QResizeEvent*) override { place(); }
    void showEvent(QShowEvent*) override { place(); }
    bool event(QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest) {
            place();
            updateGeometry();
        }
        return QWidget::event(event);
    }

private:
    std::vector<VolumeChip*> chips_;
};

StatusBar::StatusBar(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      summary_(new ToneText(TextTone::secondary, this)),
      sorting_(new QWidget(this)),
      chipRow_(new ChipRow(this)),
      refresh_(this, [this] { refresh(); }) {
    setFont(Fonts::system(kFontSize));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    summary_->setMinimumTextWidth(kSummaryMinimumWidth);

    auto* sortingRow = new QHBoxLayout(sorting_);
    sortingRow->setContentsMargins(0, 0, 0, 0);
    sortingRow->setSpacing(kSortingSpacing);
    sortingRow->addWidget(new Spinner(Spinner::Size::mini, sorting_), 0, Qt::AlignVCenter);
    auto* sortingText = new ToneText(TextTone::secondary, sorting_);
    sortingText->setText(QString::fromStdString(core::tr("sorting …")));
    sortingRow->addWidget(sortingText, 0, Qt::AlignVCenter);
    sorting_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(kHorizontalPadding, kVerticalPadding, kHorizontalPadding, kVerticalPadding);
    line->setSpacing(kSpacing);
    line->addWidget(summary_, 0, Qt::AlignVCenter);
    line->addWidget(sorting_, 0, Qt::AlignVCenter);
    line->addStretch(1);
    line->addWidget(chipRow_, 0, Qt::AlignVCenter);

    refresh_.follow(model_.objectWillChange);
    refresh();
}

StatusBar::~StatusBar() = default;

std::vector<VolumeChip*> StatusBar::chips() const { return chipRow_->chips(); }

QWidget* StatusBar::chipRow() const { return chipRow_; }

void StatusBar::refresh() {
    syncChips();
    const Summary summary = statusSummary(summaryFacts(model_));
    summary_->setText(QString::fromStdString(summary.text));
    summary_->setTone(summary.isError ? TextTone::red : TextTone::secondary);
    sorting_->setVisible(model_.sorting.get());
}

void StatusBar::syncChips() {
    const auto& volumes = model_.volumes.get();
    if (volumes == shown_) return;
    volumes_.follow(volumes);

    std::vector<VolumeChip*> kept;
    std::vector<VolumeChip*> old = chipRow_->chips();
    for (const auto& volume : volumes) {
        const auto same =
            std::find_if(old.begin(), old.end(), [&](VolumeChip* c) { return c && c->volume() == volume; });
        if (same != old.end()) {
            kept.push_back(*same);
            *same = nullptr;
        } else {
            kept.push_back(new VolumeChip(volume, model_.prefs(), chipRow_));
        }
    }
    for (VolumeChip* gone : old)
        if (gone) {
            gone->hide();
            gone->deleteLater();
        }
    chipRow_->setChips(std::move(kept));
    shown_ = volumes;
}

void StatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Theme::bar.in(palette()));
}

}  // namespace quorvanta::app
