// A borderless button of the search window: an optional glyph (Glyph.h) and an optional one-line
// text, drawn in tones (TextTone.h) with no bezel; under the pointer a faint rounded ground shows
// that it can be clicked, and a disabled one is drawn in the tertiary tone. A text that does not
// fit ends in an ellipsis. A glyph is as high as a line of the button's font.
//
// Threads: main thread.
#pragma once

#include "QuorvantaApp/Widgets/TextTone.h"

#include <QAbstractButton>

#include <string>

namespace quorvanta::app {

class PlainButton final : public QAbstractButton {
public:
    static constexpr int kGlyphSpacing = 5;
    static constexpr int kPadding = 2;
    // The ground under the pointer: the text colour at this opacity.
    static constexpr qreal kHoverOpacity = 0.08;

    explicit PlainButton(QWidget* parent = nullptr);

    // A name of the glyph set; empty for none.
    void setGlyph(std::string name);
    const std::string& glyph() const { return glyph_; }
    void setGlyphTone(TextTone tone);
    void setTextTone(TextTone tone);
    TextTone textTone() const { return textTone_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int glyphSide() const { return fontMetrics().height(); }

    std::string glyph_;
    TextTone glyphTone_ = TextTone::secondary;
    TextTone textTone_ = TextTone::primary;
    bool hovered_ = false;
};

}  // namespace quorvanta::app
