// Small pieces of the status bar, its chips, the result-area states and the small windows: one
// line of text, a paragraph and one glyph, each drawn in a tone (TextTone.h) resolved from the palette when it is painted, so both
// follow a switch of appearance. The text is shown as plain text, never as markup, whatever it holds.
//
// Threads: main thread.
#pragma once

#include "QuorvantaApp/Widgets/TextTone.h"

#include <QWidget>

#include <string>

namespace quorvanta::app {

// One line of text. It wants the width of its text; squeezed below that (down to its minimum
// width) it ends in an ellipsis.
class ToneText final : public QWidget {
public:
    explicit ToneText(TextTone tone = TextTone::secondary, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    void setText(const QString& text);
    TextTone tone() const { return tone_; }
    void setTone(TextTone tone);
    bool isStruckOut() const { return font().strikeOut(); }
    void setStruckOut(bool on);
    // The narrowest it may become: the text's width when it is narrower. -1 (the default): the
    // text's width, so that it is never cut.
    void setMinimumTextWidth(int width);

    // The width of its text.
    int textWidth() const;
    // Whether the whole text fits in the current width.
    bool isFullyShown() const { return width() >= textWidth(); }
    QColor colour() const { return TextTones::colour(tone_, palette()); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TextTone tone_;
    QString text_;
    int minimumTextWidth_ = -1;
};

// A paragraph that wraps at word boundaries to as many lines as it needs. Its preferred width is
// `lineWidth`; a layout that gives it another width gets the height for that width.
class ToneParagraph final : public QWidget {
public:
    ToneParagraph(TextTone tone, int lineWidth, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    void setText(const QString& text);
    TextTone tone() const { return tone_; }
    QColor colour() const { return TextTones::colour(tone_, palette()); }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TextTone tone_;
    int lineWidth_;
    QString text_;
};

// A glyph of the set (Glyph.h) in a square as high as a line of the widget's font.
class ToneGlyph final : public QWidget {
public:
    explicit ToneGlyph(std::string name, TextTone tone = TextTone::secondary, QWidget* parent = nullptr);

    const std::string& name() const { return name_; }
    void setName(std::string name);
    TextTone tone() const { return tone_; }
    QColor colour() const { return TextTones::colour(tone_, palette()); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string name_;
    TextTone tone_;
};

}  // namespace quorvanta::app
