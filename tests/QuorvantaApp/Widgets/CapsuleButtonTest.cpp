#include "QuorvantaApp/Widgets/CapsuleButton.h"

#include "QuorvantaApp/Theme/Theme.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

namespace quorvanta::app {
namespace {

bool near(QRgb a, QRgb b, int tolerance = 2) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// `over` drawn at `opacity` on `ground`.
QRgb blend(QColor over, QColor ground, qreal opacity) {
    const auto mix = [&](int a, int b) { return qRound(a * opacity + b * (1 - opacity)); };
    return qRgb(mix(over.red(), ground.red()), mix(over.green(), ground.green()), mix(over.blue(), ground.blue()));
}

TEST(CapsuleButton, IdealSizeHoldsTheLabelAndItsPadding) {
    CapsuleButton plain(QStringLiteral("Audio"));
    const QFontMetrics metrics = plain.fontMetrics();
    EXPECT_EQ(plain.sizeHint(), QSize(metrics.horizontalAdvance(QStringLiteral("Audio")) + 20, metrics.height() + 8));
    CapsuleButton withGlyph(QStringLiteral("Audio"));
    withGlyph.setGlyph("music.note");
    EXPECT_EQ(withGlyph.sizeHint().width(), plain.sizeHint().width() + metrics.height() + CapsuleButton::kGlyphSpacing);
    EXPECT_EQ(plain.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed) << "never squeezed";
    EXPECT_EQ(plain.minimumSizeHint(), plain.sizeHint());
}

TEST(CapsuleButton, SelectedAndPlainLooks) {
    for (const auto appearance : {Appearance::light, Appearance::dark}) {
        const QPalette palette = Theme::palette(appearance);
        QWidget window;
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        auto* button = new CapsuleButton(QStringLiteral("Images"), &window);
        button->setGlyph("photo");
        button->resize(button->sizeHint());
        window.resize(200, 60);
        window.show();

        const QImage plainWindow = window.grab().toImage();
        const QPoint inside =
            button->mapTo(&window, QPoint(CapsuleButton::kHorizontalPadding / 2 + 1, button->height() / 2));
        EXPECT_TRUE(near(plainWindow.pixel(inside),
                         blend(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.07)))
            << "plain: the text colour at 7 % over the window";

        button->setSelected(true);
        EXPECT_TRUE(near(window.grab().toImage().pixel(inside), Theme::rgb(0xC23F16).rgb())) << "selected: fill";
        // The label turns white on the fill: the label's brightest pixels are (nearly) white.
        const QImage selected = button->grab().toImage();
        bool white = false;
        for (int x = 0; x < selected.width() && !white; ++x)
            for (int y = 0; y < selected.height() && !white; ++y)
                white = near(selected.pixel(x, y), qRgb(255, 255, 255), 24);
        EXPECT_TRUE(white);
    }
}

TEST(CapsuleButton, AClickIsReportedAndLeavesTheLookToTheOwner) {
    CapsuleButton button(QStringLiteral("Video"));
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
    button.click();
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button.isSelected());
    EXPECT_FALSE(button.isCheckable());
}

}  // namespace
}  // namespace quorvanta::app
