#include "QuorvantaApp/Widgets/Glyph.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace quorvanta::app {
namespace {

// Every name the shell, the search window, the drive rows and the category editor ask for.
constexpr std::string_view kRequired[] = {
    // shell: status item fallback, onboarding with its numbered steps, the built-in All category
    "magnifyingglass", "externaldrive.badge.checkmark", "1.circle", "2.circle", "3.circle", "square.grid.2x2",
    // search window: query field, states, the folders chip, banner, history, status bar, the
    // results header's sort mark
    "xmark.circle.fill", "folder", "chevron.up", "chevron.down", "questionmark.folder",
    "externaldrive.badge.questionmark", "externaldrive.badge.plus", "clock.arrow.circlepath", "star.fill", "star",
    "xmark", "eye.slash", "checkmark.circle.fill",
    // drives
    "internaldrive", "externaldrive", "externaldrive.badge.xmark", "network",
    // the categories' symbols
    "music.note", "film", "photo", "doc.text", "archivebox", "gamecontroller",
    "chevron.left.forwardslash.chevron.right", "textformat", "tag", "star"};

QImage render(std::string_view name, int size, const QColor& tint = Qt::black) {
    return Glyph::pixmap(name, size, tint).toImage().convertToFormat(QImage::Format_ARGB32);
}

int coveredPixels(const QImage& image) {
    int covered = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) covered += qAlpha(image.pixel(x, y)) > 0;
    return covered;
}

TEST(Glyph, SetHoldsEveryNameTheWindowsAskFor) {
    for (const auto name : kRequired) EXPECT_TRUE(Glyph::has(name)) << name;
    const auto names = Glyph::names();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    for (const auto name : names) EXPECT_TRUE(Glyph::has(name)) << name;
    for (const auto name : {"", "music", "music.note.list", "MUSIC.NOTE", "star "})
        EXPECT_FALSE(Glyph::has(name)) << name;
}

TEST(Glyph, EveryNameDrawsAPictureOfItsOwnAtBothSizes) {
    for (const int size : {16, 34}) {
        std::vector<QImage> pictures;
        const QImage placeholder = render("no.such.symbol", size);
        for (const auto name : Glyph::names()) {
            const QImage picture = render(name, size);
            ASSERT_EQ(picture.size(), QSize(size, size)) << name;
            const int covered = coveredPixels(picture);
            // Something is drawn, and not a filled square.
            EXPECT_GT(covered, size * size / 12) << name << " at " << size;
            EXPECT_LT(covered, size * size) << name << " at " << size;
            EXPECT_NE(picture, placeholder) << name << " draws the placeholder";
            for (std::size_t i = 0; i < pictures.size(); ++i)
                EXPECT_NE(picture, pictures[i]) << name << " looks like " << Glyph::names()[i] << " at " << size;
            pictures.push_back(picture);
        }
    }
}

TEST(Glyph, UnknownNamesDrawTheSamePlaceholderNeverNothing) {
    const QImage placeholder = render("no.such.symbol", 24);
    EXPECT_GT(coveredPixels(placeholder), 24 * 24 / 12);
    for (const auto name : {"", "gearshape", "MUSIC.NOTE", "externaldrive.badge"})
        EXPECT_EQ(render(name, 24), placeholder) << name;
}

TEST(Glyph, TakesItsTintAtPaintTime) {
    for (const QColor tint : {QColor(0xC2, 0x3F, 0x16), QColor(0xFF, 0xFF, 0xFF), QColor(0x1D, 0x1D, 0x1F)})
        for (const auto name : {"music.note", "xmark.circle.fill", "externaldrive.badge.plus"}) {
            const QImage picture = render(name, 34, tint);
            int opaque = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x) {
                    const QRgb pixel = picture.pixel(x, y);
                    if (qAlpha(pixel) != 255) continue;
                    ++opaque;
                    EXPECT_EQ(pixel & 0xFFFFFF, tint.rgb() & 0xFFFFFF) << name << " at " << x << "," << y;
                }
            EXPECT_GT(opaque, 20) << name;
        }
}

TEST(Glyph, HalfTransparentTintIsAppliedOnceWhereStrokesMeet) {
    // eye.slash and the badges overlap strokes and fills; a tint at half opacity must not add up.
    QColor half(0x1D, 0x1D, 0x1F);
    half.setAlpha(128);
    for (const auto name : {"eye.slash", "externaldrive.badge.xmark", "film", "network"}) {
        const QImage picture = render(name, 34, half);
        int highest = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) highest = std::max(highest, qAlpha(picture.pixel(x, y)));
        EXPECT_LE(highest, 129) << name;
        EXPECT_GE(highest, 127) << name;
    }
}

TEST(Glyph, CentredInTheLargestSquareOfTheArea) {
    QImage wide(60, 20, QImage::Format_ARGB32_Premultiplied);
    wide.fill(Qt::transparent);
    {
        QPainter painter(&wide);
        Glyph::paint(painter, QRectF(0, 0, 60, 20), "square.grid.2x2", Qt::black);
    }
    const QImage square = render("square.grid.2x2", 20);
    EXPECT_EQ(wide.copy(20, 0, 20, 20).convertToFormat(QImage::Format_ARGB32), square);
    EXPECT_EQ(coveredPixels(wide.copy(0, 0, 20, 20).convertToFormat(QImage::Format_ARGB32)), 0);
}

TEST(Glyph, SharpOnADenseScreen) {
    const QPixmap pixmap = Glyph::pixmap("star", 16, Qt::black, 2.0);
    EXPECT_EQ(pixmap.size(), QSize(32, 32)) << "drawn at device pixels";
    EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(16, 16));
    QImage dense = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    dense.setDevicePixelRatio(1);
    EXPECT_EQ(dense, render("star", 32)) << "the same drawing as at twice the size";
}

}  // namespace
}  // namespace quorvanta::app
