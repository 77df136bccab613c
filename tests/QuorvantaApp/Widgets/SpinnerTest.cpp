#include "QuorvantaApp/Widgets/Spinner.h"

#include <QImage>

#include <gtest/gtest.h>

#include <set>

namespace quorvanta::app {
namespace {

TEST(Spinner, SpinsOnlyWhileShown) {
    QWidget window;
    auto* spinner = new Spinner(Spinner::Size::mini, &window);
    EXPECT_FALSE(spinner->isSpinning()) << "never shown";
    window.show();
    EXPECT_TRUE(spinner->isSpinning());
    window.hide();
    EXPECT_FALSE(spinner->isSpinning()) << "its window hidden";
    window.show();
    spinner->hide();
    EXPECT_FALSE(spinner->isSpinning()) << "itself hidden";
}

TEST(Spinner, EachStepDrawsTheNextPicture) {
    for (const auto size : {Spinner::Size::regular, Spinner::Size::mini}) {
        Spinner spinner(size);
        spinner.resize(spinner.sizeHint());
        const int spokes = spinner.spokes();
        const char* which = size == Spinner::Size::regular ? "regular" : "mini";
        std::set<int> phases;
        QImage first = spinner.grab().toImage();
        QImage previous = first;
        for (int step = 1; step <= spokes; ++step) {
            spinner.advance();
            phases.insert(spinner.phase());
            const QImage picture = spinner.grab().toImage();
            if (step < spokes) {
                EXPECT_NE(picture, previous) << which << " step " << step;
            }
            previous = picture;
        }
        EXPECT_EQ(phases.size(), std::size_t(spokes)) << which;
        EXPECT_EQ(spinner.phase(), 0) << which;
        EXPECT_EQ(previous, first) << which << ": a full turn comes back to the start";
    }
}

TEST(Spinner, RegularAndMiniSizes) {
    const QSize regular = Spinner(Spinner::Size::regular).sizeHint();
    const QSize mini = Spinner(Spinner::Size::mini).sizeHint();
    EXPECT_EQ(regular.width(), regular.height());
    EXPECT_EQ(mini.width(), mini.height());
    EXPECT_GT(regular.width(), 2 * mini.width());
}

}  // namespace
}  // namespace quorvanta::app
