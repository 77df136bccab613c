// The views that stand in for the results, over an application model fed by hand: configured
// drives whose published volume fields the test sets, the model's own search, the preferences in
// a settings store in memory. Pictures of each state are saved for looking at by eye.
#include "tests/QuorvantaApp/support/ViewWorld.h"

#include "QuorvantaApp/ResultStates/EmptySources.h"
#include "QuorvantaApp/ResultStates/EmptyState.h"
#include "QuorvantaApp/ResultStates/ExampleLayout.h"
#include "QuorvantaApp/ResultStates/NoHitsState.h"
#include "QuorvantaApp/ResultStates/ScanState.h"
#include "QuorvantaApp/Widgets/CapsuleButton.h"
#include "QuorvantaApp/Widgets/Fonts.h"
#include "QuorvantaApp/Widgets/Spinner.h"
#include "QuorvantaApp/Widgets/ToneWidgets.h"
#include "platform/notify/NotificationCenter.h"
#include "platform/notify/NotificationNames.h"
#include "tests/support/LanguageScope.h"
#include "tests/support/qt/SaveShot.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using quorvanta::test::LanguageScope;
using test::DriveSpec;
using test::Host;
using test::makeModel;
using test::ModelWorld;
using test::showChanges;

constexpr int kViewMinimumWidth = 720;
constexpr int kHeight = 420;

std::string textOf(const ToneText* text) { return text->text().toStdString(); }

// The widgets below `parent` that are a T, in creation order (these widgets have no meta-object
// of their own, so Qt's findChildren would take every widget for one).
template <class T>
std::vector<T*> partsOf(const QWidget& parent) {
    std::vector<T*> found;
    for (QWidget* child : parent.findChildren<QWidget*>())
        if (auto* t = dynamic_cast<T*>(child)) found.push_back(t);
    return found;
}

// The text of every ToneText of a view.
std::vector<std::string> textsOf(const QWidget& view) {
    std::vector<std::string> texts;
    for (const ToneText* text : partsOf<ToneText>(view)) texts.push_back(textOf(text));
    return texts;
}

TEST(ResultStatesExamples, FirstArrangementThatFits) {
    const std::vector<int> widths{150, 70, 95, 70, 120, 125};
    const int oneRow = 150 + 70 + 95 + 70 + 120 + 125 + 5 * 8;
    ASSERT_EQ(rowWidth(widths, 8), oneRow);
    const struct {
        int available;
        ExampleArrangement expected;
    } cases[] = {
        {oneRow + 200, ExampleArrangement::oneRow},      {oneRow, ExampleArrangement::oneRow},
        {oneRow - 1, ExampleArrangement::threeAndThree}, {0, ExampleArrangement::threeAndThree},
        {kViewMinimumWidth, ExampleArrangement::oneRow},
    };
    for (const auto& c : cases) EXPECT_EQ(exampleArrangement(widths, 8, c.available), c.expected) << c.available;
    EXPECT_EQ(exampleArrangement(std::vector<int>(6, 200), 8, kViewMinimumWidth), ExampleArrangement::threeAndThree);
    EXPECT_EQ(firstRowCount(ExampleArrangement::oneRow, 6), 6u);
    EXPECT_EQ(firstRowCount(ExampleArrangement::threeAndThree, 6), 3u);
}

// The rows the example chips are placed in: each row's chips, by their top edge.
std::vector<std::vector<int>> chipRows(const EmptyState& view) {
    std::map<int, std::vector<int>> byTop;
    const auto& chips = view.exampleChips();
    for (std::size_t i = 0; i < chips.size(); ++i) byTop[chips[i]->y()].push_back(static_cast<int>(i));
    std::vector<std::vector<int>> rows;
    for (auto& [top, row] : byTop) rows.push_back(row);
    return rows;
}

TEST(ResultStatesExamples, ChipsWrapIntoThreeAndThreeWhenSixDoNotFit) {
    ModelWorld world;
    const auto model = makeModel(world, {{"Computer", "/", true}});
    auto* view = new EmptyState(*model);
    Host host(view, 1200, kHeight);
    const auto& chips = view->exampleChips();
    ASSERT_EQ(chips.size(), kExampleQueries.size());
    std::vector<int> widths;
    for (std::size_t i = 0; i < chips.size(); ++i) {
        EXPECT_EQ(chips[i]->text().toStdString(), kExampleQueries[i]);
        EXPECT_EQ(chips[i]->font().family(), Fonts::monospaced(12).family());
        widths.push_back(chips[i]->sizeHint().width());
    }
    const int oneRow = rowWidth(widths, EmptyState::kExampleSpacing);

    const struct {
        int width;
        ExampleArrangement expected;
    } cases[] = {
        {oneRow, ExampleArrangement::oneRow},
        {oneRow - 1, ExampleArrangement::threeAndThree},
        {kViewMinimumWidth, exampleArrangement(widths, EmptyState::kExampleSpacing, kViewMinimumWidth)},
        {1200, ExampleArrangement::oneRow},
    };
    for (const auto& c : cases) {
        host.resize(c.width);
        ASSERT_EQ(view->width(), c.width);
        EXPECT_EQ(view->arrangement(), c.expected) << c.width;
        const auto rows = chipRows(*view);
        if (c.expected == ExampleArrangement::oneRow) {
            EXPECT_EQ(rows, (std::vector<std::vector<int>>{{0, 1, 2, 3, 4, 5}})) << c.width;
        } else {
            EXPECT_EQ(rows, (std::vector<std::vector<int>>{{0, 1, 2}, {3, 4, 5}})) << c.width;
            EXPECT_EQ(chips[3]->y() - chips[0]->geometry().bottom() - 1, EmptyState::kExampleSpacing);
        }
        for (std::size_t i = 1; i < chips.size(); ++i) {
            if (chips[i]->y() != chips[i - 1]->y()) continue;
            EXPECT_EQ(chips[i]->x() - chips[i - 1]->geometry().right() - 1, EmptyState::kExampleSpacing);
        }
        const int chipsEnd = chips.back()->mapTo(view, QPoint(0, chips.back()->height())).y();
        EXPECT_EQ(view->showAllButton()->y() - chipsEnd, EmptyState::kSpacing + EmptyState::kShowAllTopPadding)
            << "nothing reserved below the last row at " << c.width;
        for (const CapsuleButton* chip : chips) {
            EXPECT_GE(chip->x(), 0) << c.width;
            EXPECT_LE(chip->geometry().right(), c.width) << c.width;
            EXPECT_EQ(chip->size(), chip->sizeHint()) << "kept at its ideal size";
        }
    }
    EXPECT_LE(view->minimumSizeHint().width(), kViewMinimumWidth) << "the state never widens the view";
}

TEST(ResultStates, ScanCountFollowsTheVolume) {
    ModelWorld world;
    const auto model = makeModel(world, {{"Music SSD", "/media/m"}});
    const auto volume = model->volumes.get()[0];
    volume->scanning.set(true);
    volume->count.set(0);
    auto* view = new ScanState(volume);
    Host host(view, kViewMinimumWidth, kHeight);
    EXPECT_EQ(textOf(view->headline()), "Reading Music SSD …");
    EXPECT_EQ(textOf(view->countText()), "0 entries");
    const auto spinners = partsOf<Spinner>(*view);
    ASSERT_EQ(spinners.size(), 1u);
    EXPECT_EQ(spinners[0]->size(), Spinner::Size::regular);
    EXPECT_TRUE(spinners[0]->isSpinning());

    for (const auto& [count, shown] : {std::pair<std::int64_t, const char*>{4096, "4,096 entries"},
                                       {1234567, "1,234,567 entries"},
                                       {12000000000, "12,000,000,000 entries"}}) {
        volume->count.set(count);
        showChanges();
        EXPECT_EQ(textOf(view->countText()), shown);
    }
}

TEST(ResultStates, ShowAllTotalFollowsCountsAndCountsOfflineCatalogs) {
    ModelWorld world;
    const auto model = makeModel(world, {{"Computer", "/", true}, {"Backup", "/media/b"}, {"Old", "/media/o"}});
    const auto volumes = model->volumes.get();
    volumes[0]->count.set(3000000000);  // beyond 32 bits
    volumes[1]->count.set(250);
    volumes[2]->count.set(7);
    volumes[2]->offline.set(true);
    world.prefs.setHiddenVolumes({"/media/b"});
    world.settle(*model);
    auto* view = new EmptyState(*model);
    Host host(view, kViewMinimumWidth, kHeight);
    EXPECT_EQ(view->showAllButton()->text().toStdString(), "Show all 3,000,000,257 entries");

    volumes[1]->count.set(1250);  // a hidden volume while it changes
    showChanges();
    EXPECT_EQ(view->showAllButton()->text().toStdString(), "Show all 3,000,001,257 entries");
    volumes[2]->count.set(10);  // the offline catalog
    showChanges();
    EXPECT_EQ(view->showAllButton()->text().toStdString(), "Show all 3,000,001,260 entries");
    model->removeVolume(volumes[0]);
    showChanges();
    EXPECT_EQ(view->showAllButton()->text().toStdString(), "Show all 1,260 entries");
    volumes[0]->count.set(5);  // no longer listed: no longer counted
    showChanges();
    EXPECT_EQ(view->showAllButton()->text().toStdString(), "Show all 1,260 entries");

    world.settle(*model);
    const std::int64_t before = model->generation();
    ASSERT_TRUE(model->showsEmptyState());
    view->showAllButton()->click();
    EXPECT_TRUE(model->browseAll.get());
    EXPECT_FALSE(model->showsEmptyState());
    world.settle(*model);
    EXPECT_EQ(model->generation(), before) << "no search was started";
}

TEST(ResultStates, ExampleChipReplacesTheQueryAndSearches) {
    ModelWorld world;
    const auto model = makeModel(world, {{"Data", "/srv/data"}});
    test::fill(*model->volumes.get()[0], {{"a.flac"}, {"b.mp3"}, {"c.flac"}});
    model->setQuery("something typed");
    model->setBrowseAll(true);
    world.settle(*model);
    auto* view = new EmptyState(*model);
    Host host(view, kViewMinimumWidth, kHeight);
    const std::int64_t before = model->generation();

    view->exampleChips()[1]->click();
    EXPECT_EQ(model->query.get(), "ext:flac");
    EXPECT_FALSE(model->browseAll.get());
    world.settle(*model);
    EXPECT_EQ(model->generation(), before + 1);
    EXPECT_EQ(test::rowNames(*model->results.get()), (std::vector<std::string>{"0:a.flac", "0:c.flac"}));
}

TEST(ResultStates, EmptySourcesPostsTheChooserOnceAndReturnPressesIt) {
    ModelWorld world;
    int posted = 0;
    const auto token = platform::NotificationCenter::standard().observe(
        platform::notification_names::kShowSourceChooser, world.main, [&] { ++posted; });

    auto* view = new EmptySources;
    auto* window = new QWidget;
    auto* field = new QLineEdit(window);  // the focus elsewhere in the window
    auto* column = new QVBoxLayout(window);
    column->addWidget(field);
    column->addWidget(view);
    Host host(window, kViewMinimumWidth, kHeight);
    EXPECT_TRUE(view->chooseButton()->isDefault());
    EXPECT_EQ(view->chooseButton()->text().toStdString(), "Choose drives and folders …");

    view->chooseButton()->click();
    world.main.drain();
    EXPECT_EQ(posted, 1);

    // Shortcuts of a window answer only while it is the active one.
    QApplication::setActiveWindow(&host.window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host.window));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Return);
    world.main.drain();
    EXPECT_EQ(posted, 2) << "Return pressed the button";

    view->hide();
    QTest::keyClick(field, Qt::Key_Return);
    world.main.drain();
    EXPECT_EQ(posted, 2) << "not while the view is hidden";
}

TEST(ResultStates, TextsInGermanWithGroupedCounts) {
    LanguageScope german("de");
    ModelWorld world;
    core::Lang::shared().setChoice("de");  // the model's world starts in English
    const auto model = makeModel(world, {{"Musik", "/media/m"}, {"Archiv", "/media/a"}});
    const auto volumes = model->volumes.get();
    volumes[0]->count.set(1234567);
    volumes[1]->count.set(1000);
    volumes[1]->offline.set(true);

    ScanState scan(volumes[0]);
    EXPECT_EQ(textOf(scan.headline()), "Musik wird gelesen …");
    EXPECT_EQ(textOf(scan.countText()), "1.234.567 Einträge");

    auto* empty = new EmptyState(*model);
    Host host(empty, kViewMinimumWidth, kHeight);
    EXPECT_EQ(textsOf(*empty), (std::vector<std::string>{"Tippen, um zu suchen", "Zum Beispiel:"}));
    EXPECT_EQ(empty->showAllButton()->text().toStdString(), "Alle 1.235.567 Einträge zeigen");
    EXPECT_EQ(empty->exampleChips()[0]->text().toStdString(), kExampleQueries[0]) << "examples are not translated";
    quorvanta::test::saveShot(host.window, "states-empty-de");

    NoHitsState noHits;
    EXPECT_EQ(textsOf(noHits), std::vector<std::string>{"Keine Treffer"});
    EmptySources sources;
    EXPECT_EQ(textsOf(sources),
              (std::vector<std::string>{"Noch nichts zum Durchsuchen ausgewählt",
                                        "Wähle die Laufwerke und Ordner, die Quorvanta indexieren soll."}));
    EXPECT_EQ(sources.chooseButton()->text().toStdString(), "Laufwerke und Ordner wählen …");
}

TEST(ResultStates, Pictures) {
    ModelWorld world;
    const auto model = makeModel(
        world,
        {{"Computer", "/", true}, {"Music SSD", "/media/alex/Music SSD"}, {"Backup 2019", "/media/alex/Backup 2019"}});
    const auto volumes = model->volumes.get();
    volumes[0]->count.set(1284113);
    volumes[1]->count.set(48210);
    volumes[1]->scanning.set(true);
    volumes[2]->count.set(310442);
    volumes[2]->offline.set(true);
    {
        auto* view = new ScanState(volumes[1]);
        Host host(view, kViewMinimumWidth, kHeight);
        quorvanta::test::saveShot(host.window, "states-scan");
    }
    {
        auto* view = new EmptyState(*model);
        Host host(view, 1000, kHeight);
        EXPECT_EQ(view->arrangement(), ExampleArrangement::oneRow);
        EXPECT_EQ(view->showAllButton()->text().toStdString(), "Show all 1,642,765 entries");
        quorvanta::test::saveShot(host.window, "states-empty");
    }
    {
        auto* view = new EmptyState(*model);
        Host host(view, 460, kHeight);
        EXPECT_EQ(view->arrangement(), ExampleArrangement::threeAndThree);
        quorvanta::test::saveShot(host.window, "states-empty-narrow");
    }
    {
        auto* view = new EmptyState(*model);
        Host host(view, 1000, kHeight, Appearance::dark);
        quorvanta::test::saveShot(host.window, "states-empty-dark");
    }
    {
        auto* view = new NoHitsState;
        Host host(view, kViewMinimumWidth, kHeight);
        quorvanta::test::saveShot(host.window, "states-nohits");
    }
    {
        auto* view = new EmptySources;
        Host host(view, kViewMinimumWidth, kHeight);
        quorvanta::test::saveShot(host.window, "states-nosources");
    }
}

}  // namespace
}  // namespace quorvanta::app
