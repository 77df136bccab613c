#include "QuorvantaApp/ResultStates/ScanState.h"

#include "QuorvantaApp/ResultStates/StateFonts.h"
#include "QuorvantaApp/Widgets/Spinner.h"
#include "QuorvantaApp/Widgets/ToneWidgets.h"
#include "QuorvantaApp/model/volume/VolumeState.h"
#include "QuorvantaCore/lang/Lang.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/Format.h"

#include <QVBoxLayout>

namespace quorvanta::app {

ScanState::ScanState(std::shared_ptr<VolumeState> v, QWidget* parent)
    : QWidget(parent),
      v_(std::move(v)),
      headline_(new ToneText(TextTone::primary, this)),
      count_(new ToneText(TextTone::secondary, this)),
      refresh_(this, [this] { refresh(); }) {
    headline_->setFont(state_fonts::headline());
    headline_->setText(QString::fromStdString(core::tr("Reading %@ …", v_->name())));
    count_->setFont(state_fonts::body());

    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(kSpacing);
    stack->addStretch(1);
    stack->addWidget(new Spinner(Spinner::Size::regular, this), 0, Qt::AlignHCenter);
    stack->addWidget(headline_, 0, Qt::AlignHCenter);
    stack->addWidget(count_, 0, Qt::AlignHCenter);
    stack->addStretch(1);

    refresh_.follow(v_->objectWillChange);
    refresh();
}

ScanState::~ScanState() = default;

void ScanState::refresh() {
    const std::string count = core::Format::count(v_->count.get(), core::Lang::locale());
    count_->setText(QString::fromStdString(core::tr("%@ entries", count)));
}

}  // namespace quorvanta::app
