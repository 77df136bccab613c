#include "QuorvantaApp/Widgets/ToneLabel.h"

#include <QApplication>
#include <QEvent>

namespace quorvanta::app {

ToneLabel::ToneLabel(TextTone tone, const QString& text, QWidget* parent) : QLabel(parent), tone_(tone) {
    setTextFormat(Qt::PlainText);
    setText(text);
    applyTone();
}

void ToneLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if ((event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange) && !applying_) applyTone();
}

void ToneLabel::applyTone() {
    // The tone is made from the inherited text colour, never from the one set here.
    const QPalette inherited = parentWidget() ? parentWidget()->palette() : QApplication::palette();
    const QColor colour = TextTones::colour(tone_, inherited);
    QPalette own = palette();
    own.setColor(QPalette::WindowText, colour);
    own.setColor(QPalette::Text, colour);
    applying_ = true;
    setPalette(own);
    applying_ = false;
}

}  // namespace quorvanta::app
