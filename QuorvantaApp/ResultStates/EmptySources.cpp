#include "QuorvantaApp/ResultStates/EmptySources.h"

#include "QuorvantaApp/ResultStates/StateFonts.h"
#include "QuorvantaApp/Widgets/ToneWidgets.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/AppInfo.h"
#include "platform/notify/NotificationCenter.h"
#include "platform/notify/NotificationNames.h"

#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace quorvanta::app {

EmptySources::EmptySources(QWidget* parent)
    : QWidget(parent), choose_(new QPushButton(QString::fromStdString(core::tr("Choose drives and folders …")), this)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* glyph = new ToneGlyph("externaldrive.badge.questionmark", TextTone::secondary, this);
    glyph->setFont(state_fonts::symbol(34));
    auto* headline = new ToneText(TextTone::primary, this);
    headline->setFont(state_fonts::headline());
    headline->setText(QString::fromStdString(core::tr("Nothing selected to search yet")));
    auto* line = new ToneText(TextTone::secondary, this);
    line->setFont(state_fonts::body());
    line->setText(
        QString::fromStdString(core::tr("Choose which drives and folders %@ should index.", core::AppInfo::name())));

    choose_->setDefault(true);
    QObject::connect(choose_, &QPushButton::clicked, this, [] {
        platform::NotificationCenter::standard().post(platform::notification_names::kShowSourceChooser);
    });
    // Return and the keypad's Enter press the button wherever the focus is in the window, while
    // the view is shown.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, choose_, &QPushButton::click);
    }

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    stack->setSpacing(kSpacing);
    stack->addStretch(1);
    stack->addWidget(glyph, 0, Qt::AlignHCenter);
    stack->addWidget(headline, 0, Qt::AlignHCenter);
    stack->addWidget(line, 0, Qt::AlignHCenter);
    stack->addWidget(choose_, 0, Qt::AlignHCenter);
    stack->addStretch(1);
}

}  // namespace quorvanta::app
