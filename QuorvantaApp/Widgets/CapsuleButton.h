// A borderless button drawn as a capsule, with a text and, before it, an optional glyph (the chips
// of the search window). Two looks: plain (the text colour at 7 % on the capsule, text and glyph
// in the text colour) and selected (Theme::fill with white text and glyph). Being selected is a
// look the owner sets, not a state a click toggles. It keeps its ideal size: never squeezed or
// cut short.
//
// Threads: main thread.
#pragma once

#include <QAbstractButton>

#include <string>

namespace quorvanta::app {

class CapsuleButton final : public QAbstractButton {
public:
    static constexpr int kHorizontalPadding = 10;
    static constexpr int kVerticalPadding = 4;
    static constexpr int kGlyphSpacing = 5;
    // The capsule's fill in the plain look: the text colour at this opacity.
    static constexpr qreal kPlainFillOpacity = 0.07;

    explicit CapsuleButton(const QString& text = {}, QWidget* parent = nullptr);

    // A name of the glyph set (Glyph.h); empty for none.
    void setGlyph(std::string name);
    const std::string& glyph() const { return glyph_; }

    void setSelected(bool selected);
    bool isSelected() const { return selected_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int glyphSide() const;

    std::string glyph_;
    bool selected_ = false;
};

}  // namespace quorvanta::app
