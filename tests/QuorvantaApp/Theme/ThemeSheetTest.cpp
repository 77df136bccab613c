// The picture sheet of the theme: the six colours, every glyph at 16 and 34 px in the text colour
// and the accent, both spinners and capsule buttons in both looks, once light (theme-light.png)
// and once dark (theme-dark.png), saved for looking at by eye. The test checks the colours it can
// read back from the picture.
#include "QuorvantaApp/Theme/AppearanceSetting.h"
#include "QuorvantaApp/Theme/Theme.h"
#include "QuorvantaApp/Widgets/CapsuleButton.h"
#include "QuorvantaApp/Widgets/Fonts.h"
#include "QuorvantaApp/Widgets/Glyph.h"
#include "QuorvantaApp/Widgets/Spinner.h"
#include "tests/support/qt/SaveShot.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace quorvanta::app {
namespace {

struct Swatch {
    const char* name;
    DynamicColour colour;
};

constexpr std::array kSwatches{
    Swatch{"accent", Theme::accent}, Swatch{"fill", Theme::fill},   Swatch{"base", Theme::base},
    Swatch{"bar", Theme::bar},       Swatch{"field", Theme::field}, Swatch{"badge", Theme::badge},
};

constexpr int kSwatchWidth = 110;
constexpr int kSwatchHeight = 44;
constexpr int kMargin = 16;
constexpr int kColumns = 4;
constexpr int kCellWidth = 190;
constexpr int kCellHeight = 64;

// The swatches and the glyph table, painted at paint time from the widget's palette.
class SheetCanvas final : public QWidget {
public:
    SheetCanvas() {
        const int rows = static_cast<int>((Glyph::names().size() + kColumns - 1) / kColumns);
        setFixedSize(2 * kMargin + kColumns * kCellWidth, kMargin + kSwatchHeight + 24 + rows * kCellHeight);
    }

    // Where a swatch's colour can be read back.
    static QPoint swatchCentre(std::size_t index) {
        return {kMargin + static_cast<int>(index) * (kSwatchWidth + 12) + kSwatchWidth / 2,
                kMargin + kSwatchHeight / 2};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor text = palette().color(QPalette::WindowText);
        painter.setFont(Fonts::system(11));
        for (std::size_t i = 0; i < kSwatches.size(); ++i) {
            const QRect box(kMargin + static_cast<int>(i) * (kSwatchWidth + 12), kMargin, kSwatchWidth, kSwatchHeight);
            painter.fillRect(box, kSwatches[i].colour.in(palette()));
            painter.setPen(QColor(128, 128, 128));
            painter.drawRect(box.adjusted(0, 0, -1, -1));
            painter.setPen(text);
            painter.drawText(box.adjusted(0, kSwatchHeight + 2, 0, 18), Qt::AlignLeft,
                             QString::fromUtf8(kSwatches[i].name) + QStringLiteral("  ") +
                                 kSwatches[i].colour.in(palette()).name().toUpper());
        }
        const QColor accent = Theme::accent.in(palette());
        const int top = kMargin + kSwatchHeight + 24;
        painter.setFont(Fonts::system(9));
        for (std::size_t i = 0; i < Glyph::names().size(); ++i) {
            const auto name = Glyph::names()[i];
            const int x = kMargin + static_cast<int>(i % kColumns) * kCellWidth;
            const int y = top + static_cast<int>(i / kColumns) * kCellHeight;
            Glyph::paint(painter, QRectF(x, y + 9, 16, 16), name, text);
            Glyph::paint(painter, QRectF(x + 22, y + 9, 16, 16), name, accent);
            Glyph::paint(painter, QRectF(x + 46, y, 34, 34), name, text);
            Glyph::paint(painter, QRectF(x + 86, y, 34, 34), name, accent);
            painter.setPen(text);
            painter.drawText(QRect(x, y + 38, kCellWidth - 6, 20), Qt::AlignLeft | Qt::AlignTop,
                             QString::fromUtf8(name.data(), static_cast<int>(name.size())));
        }
    }
};

// The whole sheet: the canvas, then a row of live widgets.
std::unique_ptr<QWidget> makeSheet(SheetCanvas*& canvas) {
    auto sheet = std::make_unique<QWidget>();
    sheet->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(sheet.get());
    column->setContentsMargins(0, 0, 0, kMargin);
    canvas = new SheetCanvas;
    column->addWidget(canvas);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(kMargin, 0, kMargin, 0);
    row->setSpacing(10);
    auto* regular = new Spinner(Spinner::Size::regular);
    auto* mini = new Spinner(Spinner::Size::mini);
    for (int i = 0; i < 3; ++i) mini->advance();
    row->addWidget(regular);
    row->addWidget(mini);
    const struct {
        const char* text;
        const char* glyph;
        bool selected;
        bool monospaced;
    } chips[] = {
        {"All", "square.grid.2x2", true, false}, {"Audio", "music.note", false, false},
        {"Documents", "doc.text", false, false}, {"Code", "chevron.left.forwardslash.chevron.right", true, false},
        {"ext:flac", "", false, true},           {"remix | bootleg", "", false, true},
    };
    for (const auto& chip : chips) {
        auto* button = new CapsuleButton(QString::fromUtf8(chip.text));
        button->setGlyph(chip.glyph);
        button->setSelected(chip.selected);
        if (chip.monospaced) button->setFont(Fonts::monospaced(12));
        row->addWidget(button);
    }
    row->addStretch();
    column->addLayout(row);
    return sheet;
}

TEST(ThemeSheet, LightAndDarkPictures) {
    for (const auto appearance : {Appearance::light, Appearance::dark}) {
        const char* name = appearance == Appearance::dark ? "theme-dark" : "theme-light";
        platform::MemorySettings settings;
        settings.setText(AppearanceSetting::defaultsKey, appearance == Appearance::dark ? "dark" : "light");
        AppearanceSetting setting({settings, nullptr, std::nullopt});
        setting.applyStored();

        SheetCanvas* canvas = nullptr;
        auto sheet = makeSheet(canvas);
        sheet->show();
        const QImage picture = sheet->grab().toImage();
        for (std::size_t i = 0; i < kSwatches.size(); ++i)
            EXPECT_EQ(picture.pixel(SheetCanvas::swatchCentre(i)) & 0xFFFFFF,
                      appearance == Appearance::dark ? kSwatches[i].colour.dark : kSwatches[i].colour.light)
                << name << " " << kSwatches[i].name;
        EXPECT_EQ(picture.pixel(2, 2) & 0xFFFFFF, appearance == Appearance::dark ? 0x1C1E23u : 0xF5F5F7u)
            << name << ": the sheet's background is the base colour";
        const auto file = test::saveShot(*sheet, name);
        std::printf("%s: %s (%d x %d)\n", name, file.c_str(), picture.width(), picture.height());
    }
}

}  // namespace
}  // namespace quorvanta::app
