#include "QuorvantaApp/StatusBar/VolumeChip.h"

#include "QuorvantaApp/StatusBar/StatusTexts.h"
#include "QuorvantaApp/Widgets/Spinner.h"
#include "QuorvantaApp/Widgets/ToneWidgets.h"
#include "QuorvantaApp/model/prefs/Prefs.h"
#include "QuorvantaApp/model/volume/VolumeState.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QTextDocument>

namespace quorvanta::app {
namespace {

TextTone stateTone(ChipStateKind kind) {
    switch (kind) {
        case ChipStateKind::offline:
            return TextTone::tertiary;
        case ChipStateKind::failure:
            return TextTone::red;
        default:
            return TextTone::secondary;
    }
}

}  // namespace

VolumeChip::VolumeChip(std::shared_ptr<VolumeState> v, Prefs& prefs, QWidget* parent)
    : QAbstractButton(parent),
      v_(std::move(v)),
      prefs_(prefs),
      label_(new QWidget(this)),
      fade_(new QGraphicsOpacityEffect(label_)),
      eye_(new ToneGlyph("eye.slash", TextTone::secondary, label_)),
      drive_(new ToneGlyph("externaldrive", TextTone::secondary, label_)),
      name_(new ToneText(TextTone::secondary, label_)),
      spinner_(new Spinner(Spinner::Size::mini, label_)),
      check_(new ToneGlyph("checkmark.circle.fill", TextTone::green, label_)),
      state_(new ToneText(TextTone::secondary, label_)),
      refresh_(this, [this] { refresh(); }) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    auto* row = new QHBoxLayout(label_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(kSpacing);
    for (QWidget* part :
         {static_cast<QWidget*>(eye_), static_cast<QWidget*>(drive_), static_cast<QWidget*>(name_),
          static_cast<QWidget*>(spinner_), static_cast<QWidget*>(check_), static_cast<QWidget*>(state_)})
        row->addWidget(part, 0, Qt::AlignVCenter);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(label_);

    // Shown explicitly, so that the layouts count them before the chip itself is first shown; the
    // other parts are shown or hidden by each refresh.
    for (QWidget* part :
         {label_, static_cast<QWidget*>(drive_), static_cast<QWidget*>(name_), static_cast<QWidget*>(state_)})
        part->show();
    fade_->setOpacity(kHiddenOpacity);
    label_->setGraphicsEffect(fade_);

    name_->setText(QString::fromStdString(v_->name()));
    setAccessibleName(name_->text());
    connect(this, &QAbstractButton::clicked, this, [this] { toggle(); });
    refresh_.follow(v_->objectWillChange);
    refresh_.follow(prefs_.objectWillChange());
    refresh();
}

VolumeChip::~VolumeChip() = default;

bool VolumeChip::isHiddenVolume() const { return prefs_.hiddenVolumes().contains(v_->id()); }

qreal VolumeChip::labelOpacity() const { return fade_->isEnabled() ? fade_->opacity() : 1.0; }

void VolumeChip::toggle() {
    Prefs::VolumeIds hidden = prefs_.hiddenVolumes();
    if (!hidden.erase(v_->id())) hidden.insert(v_->id());
    prefs_.setHiddenVolumes(std::move(hidden));
}

void VolumeChip::refresh() {
    const bool hidden = isHiddenVolume();
    const ChipFacts facts = chipFacts(*v_);
    const ChipState state = chipState(facts);

    fade_->setEnabled(hidden);
    eye_->setVisible(hidden);
    drive_->setName(std::string(app::driveGlyph(facts)));
    name_->setStruckOut(hidden);
    spinner_->setVisible(state.spins());
    check_->setVisible(state.checked());
    state_->setText(QString::fromStdString(state.text));
    state_->setTone(stateTone(state.kind));
    // As markup of our own making, so that a name or path is never read as markup itself.
    setToolTip(Qt::convertFromPlainText(QString::fromStdString(chipTooltip(facts)), Qt::WhiteSpaceNormal));
    // The parts' sizes count at once, so the row places the chip at its new width in one turn.
    label_->layout()->activate();
    layout()->activate();
    updateGeometry();
}

void VolumeChip::paintEvent(QPaintEvent*) {
    // A plain button: its label is all there is to draw.
}

}  // namespace quorvanta::app
