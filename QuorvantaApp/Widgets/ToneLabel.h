// A label whose text is drawn in a tone (TextTone.h) and may wrap: the explanations beside
// examples, the captions under switches, a failure in red. The tone is taken from the palette the
// label inherits each time that changes, so it follows a switch of appearance. The text is plain
// text, never markup.
//
// Threads: main thread.
#pragma once

#include "QuorvantaApp/Widgets/TextTone.h"

#include <QLabel>

namespace quorvanta::app {

class ToneLabel final : public QLabel {
public:
    explicit ToneLabel(TextTone tone, const QString& text = {}, QWidget* parent = nullptr);

    TextTone tone() const { return tone_; }
    // The colour the text is drawn in.
    QColor colour() const { return palette().color(QPalette::WindowText); }

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyTone();

    const TextTone tone_;
    bool applying_ = false;
};

}  // namespace quorvanta::app
