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
    Spinner spinner(Spinner::Size::regular);
    spinner.resize(spinner.sizeHint());
    std::set<int> phases;
    QImage first = spinner.grab().toImage();
    QImage previous = first;
    for (int step = 1; step <= Spinner::kSpokes; ++step) {
        spinner.advance();
        phases.insert(spinner.phase());
        const QImage picture = spinner.grab().toImage();
        if (step < Spinner::kSpokes) {
            EXPECT_NE(picture, previous) << "step " << step;
        }
        previous = picture;
    }
    EXPECT_EQ(phases.size(), std::size_t{Spinner::kSpokes});
    EXPECT_EQ(spinner.phase(), 0);
    EXPECT_EQ(previous, first) << "a full turn comes back to the start";
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
