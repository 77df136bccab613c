#include "QuorvantaApp/TopBar/NewDriveBanner.h"

#include "QuorvantaApp/Theme/Theme.h"
#include "QuorvantaApp/Widgets/Fonts.h"
#include "QuorvantaApp/Widgets/Glyph.h"
#include "QuorvantaApp/Widgets/ToneWidgets.h"
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/AppInfo.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvanta::app {
namespace {

// The drive symbol in the theme's accent, as high as a line of the row's text.
class AccentGlyph final : public QWidget {
public:
    explicit AccentGlyph(QWidget* parent) : QWidget(parent) { setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed); }
    QSize sizeHint() const override { return {fontMetrics().height(), fontMetrics().height()}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        Glyph::paint(painter, QRectF(rect()), "externaldrive.badge.plus", Theme::accent.in(palette()));
    }
};

}  // namespace

NewDriveBanner::Row::Row(AppModel& model, const Candidate& candidate, QWidget* parent)
    : QWidget(parent),
      model_(model),
      candidate_(candidate),
      question_(new ToneText(TextTone::primary, this)),
      index_(new QPushButton(QString::fromStdString(core::tr("Index")), this)),
      no_(new QPushButton(QString::fromStdString(core::tr("No")), this)) {
    setFont(Fonts::system(kFontSize));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The question may be cut with an ellipsis rather than widen the window.
    question_->setMinimumTextWidth(0);
    for (QPushButton* button : {index_, no_}) {
        button->setFont(Fonts::system(kButtonFontSize));
        button->setAutoDefault(false);
    }
    QObject::connect(index_, &QPushButton::clicked, this, [this] { answer(&AppModel::indexNewDrive); });
    QObject::connect(no_, &QPushButton::clicked, this, [this] { answer(&AppModel::ignoreNewDrive); });

    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(kHorizontalPadding, kVerticalPadding, kHorizontalPadding, kVerticalPadding);
    line->setSpacing(kSpacing);
    line->addWidget(new AccentGlyph(this), 0, Qt::AlignVCenter);
    line->addWidget(question_, 1, Qt::AlignVCenter);
    line->addWidget(index_, 0, Qt::AlignVCenter);
    line->addWidget(no_, 0, Qt::AlignVCenter);
    setCandidate(candidate);
}

void NewDriveBanner::Row::answer(void (AppModel::*operation)(const Candidate&)) {
    // The model drops the drive from its list at once, the row only on the next redraw: a second
    // click meanwhile would answer again.
    setEnabled(false);
    const Candidate candidate = candidate_;  // the model's answer may replace the row's
    (model_.*operation)(candidate);
}

void NewDriveBanner::Row::setCandidate(const Candidate& candidate) {
    candidate_ = candidate;
    question_->setText(QString::fromStdString(
        core::tr("New drive “%@” — should %@ index it?", candidate.name, core::AppInfo::name())));
}

void NewDriveBanner::Row::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor ground = Theme::accent.in(palette());
    ground.setAlphaF(kGroundOpacity);
    painter.fillRect(rect(), ground);
}

NewDriveBanner::NewDriveBanner(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), list_(new QVBoxLayout(this)), refresh_(this, [this] { refresh(); }) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    list_->setContentsMargins(0, 0, 0, 0);
    list_->setSpacing(0);
    refresh_.follow(model_.objectWillChange);
    refresh();
}

NewDriveBanner::~NewDriveBanner() = default;

std::vector<NewDriveBanner::Row*> NewDriveBanner::rows() const {
    std::vector<Row*> found;
    for (int i = 0; i < list_->count(); ++i)
        if (auto* row = dynamic_cast<Row*>(list_->itemAt(i)->widget())) found.push_back(row);
    return found;
}

void NewDriveBanner::refresh() {
    const std::vector<Candidate>& drives = model_.newDrives.get();
    std::vector<Row*> old = rows();
    for (Row* row : old) list_->removeWidget(row);
    for (const Candidate& candidate : drives) {
        const auto same =
            std::find_if(old.begin(), old.end(), [&](Row* r) { return r && r->candidate().key == candidate.key; });
        Row* row = nullptr;
        if (same != old.end()) {
            row = *same;
            *same = nullptr;
            row->setCandidate(candidate);
            row->setEnabled(true);  // listed again: a question again
        } else {
            row = new Row(model_, candidate, this);
        }
        list_->addWidget(row);
        row->show();
    }
    for (Row* gone : old)
        if (gone) {
            gone->hide();
            gone->deleteLater();
        }
    // Shown again only inside a window: a banner without a parent would become one of its own.
    if (drives.empty())
        hide();
    else if (parentWidget())
        show();
}

}  // namespace quorvanta::app
