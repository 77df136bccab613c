#include "QuorvantaApp/ResultStates/NoHitsState.h"

#include "QuorvantaApp/ResultStates/StateFonts.h"
#include "QuorvantaApp/Widgets/ToneWidgets.h"
#include "QuorvantaCore/lang/Tr.h"

#include <QVBoxLayout>

namespace quorvanta::app {

NoHitsState::NoHitsState(QWidget* parent) : QWidget(parent) {
    auto* glyph = new ToneGlyph("questionmark.folder", TextTone::tertiary, this);
    glyph->setFont(state_fonts::symbol(28, QFont::Light));
    auto* title = new ToneText(TextTone::primary, this);
    title->setFont(state_fonts::title());
    title->setText(QString::fromStdString(core::tr("No hits")));

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(kSpacing);
    stack->addStretch(1);
    stack->addWidget(glyph, 0, Qt::AlignHCenter);
    stack->addWidget(title, 0, Qt::AlignHCenter);
    stack->addStretch(1);
}

}  // namespace quorvanta::app
