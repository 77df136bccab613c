// The status bar and its volume chips over an application model fed by hand: configured drives
// with published volume fields set by the test, the model's own search, and the preferences in a
// settings store in memory. Pictures of the bar are saved for looking at by eye.
// Before any Qt header: the model's signals have an emit member, which Qt's keyword macro rewrites.
#include "tests/QuorvantaApp/support/ViewWorld.h"

#include "QuorvantaApp/StatusBar/StatusBar.h"

#include "QuorvantaApp/StatusBar/VolumeChip.h"
#include "QuorvantaApp/Theme/Theme.h"
#include "QuorvantaApp/Widgets/Spinner.h"
#include "QuorvantaApp/Widgets/ToneWidgets.h"
#include "tests/support/LanguageScope.h"
#include "tests/support/qt/PostedEvents.h"
#include "tests/support/qt/SaveShot.h"

#include <QImage>
#include <QPointer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using quorvanta::test::LanguageScope;
using test::ModelWorld;

// What follows a publish: the views redraw one turn of the event loop later, and the chip row
// places a chip that changed its width on the turn after that.
void showChanges() {
    quorvanta::test::runPostedEvents();
    quorvanta::test::runPostedEvents();
}

// The search view's narrowest width, which the bar must never raise.
constexpr int kViewMinimumWidth = 720;

using test::DriveSpec;
using test::makeModel;

// The bar under a stand-in of the search view, which is at least 720 wide.
struct Window {
    QWidget host;
    QWidget* view;
    StatusBar* bar;

    explicit Window(AppModel& model, int width = kViewMinimumWidth, Appearance appearance = Appearance::light) {
        host.setPalette(Theme::palette(appearance));
        auto* column = new QVBoxLayout(&host);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        view = new QWidget(&host);
        view->setMinimumSize(kViewMinimumWidth, 40);
        column->addWidget(view);
        bar = new StatusBar(model);
        column->addWidget(bar);
        host.resize(width, host.sizeHint().height());
        host.show();
        showChanges();
    }
};

std::string summaryOf(const StatusBar& bar) { return bar.summary()->text().toStdString(); }

TEST(StatusBar, SummaryTotalCountsHiddenAndOfflineVolumesAndFollowsCounts) {
    ModelWorld world;
    const auto model = makeModel(world, {{"Computer", "/", true}, {"Backup", "/media/b"}, {"Old", "/media/o"}});
    const auto& volumes = model->volumes.get();
    volumes[0]->count.set(1000000);
    volumes[1]->count.set(2000);
    volumes[2]->count.set(300);
    volumes[2]->offline.set(true);
    world.prefs.setHiddenVolumes({"/media/b"});
    world.settle(*model);
    ASSERT_TRUE(model->showsEmptyState());

    Window window(*model);
    EXPECT_EQ(summaryOf(*window.bar), "1,002,300 entries indexed");
    EXPECT_EQ(window.bar->summary()->tone(), TextTone::secondary);

    volumes[1]->count.set(2001);  // a hidden volume's count changes
    showChanges();
    EXPECT_EQ(summaryOf(*window.bar), "1,002,301 entries indexed");
}

TEST(StatusBar, QueryErrorInRedWinsOverHitsShownAsPlainDigits) {
    ModelWorld world;
    const auto model = makeModel(world, {{"Data", "/srv/data"}});
    std::vector<test::IndexEntry> entries;
    for (int i = 0; i < 1200; ++i) entries.push_back({"file" + std::to_string(i)});
    test::fill(*model->volumes.get()[0], entries);
    Window window(*model);

    model->setQuery("file");
    world.settle(*model);
    showChanges();
    ASSERT_EQ(model->results.get()->rows().size(), 1200u);
    const std::string hits = summaryOf(*window.bar);
    EXPECT_EQ(hits.rfind("1200 hits · ", 0), 0u) << hits;
    EXPECT_EQ(hits.substr(hits.size() - 3), " ms") << hits;
    EXPECT_EQ(window.bar->summary()->tone(), TextTone::secondary);

    model->setQuery("file ext:");
    world.settle(*model);
    showChanges();
    ASSERT_TRUE(model->queryError.get());
    EXPECT_FALSE(model->results.get()->rows().empty()) << "the rows of the last search stay";
    EXPECT_EQ(summaryOf(*window.bar), "Invalid search: " + *model->queryError.get());
    EXPECT_EQ(window.bar->summary()->tone(), TextTone::red);
    EXPECT_EQ(window.bar->summary()->colour(), TextTones::red.resolved(Appearance::light));
}

// The direct children of `parent` that are a T (these widgets have no meta-object of their own, so
// Qt's findChildren would take every widget for one).
template <class T>
std::vector<T*> childrenOf(const QWidget& parent) {
    std::vector<T*> found;
    for (QObject* child : parent.children())
        if (auto* t = dynamic_cast<T*>(child)) found.push_back(t);
    return found;
}

TEST(StatusBar, SortingGroupComesAndGoesWithSorting) {
    ModelWorld world;
    const auto model = makeModel(world, {{"Data", "/srv/data"}});
    test::fill(*model->volumes.get()[0], {{"b", FIDX_NONE, 0, 30}, {"a", FIDX_NONE, 0, 10}});
    Window window(*model);
    EXPECT_FALSE(window.bar->sortingGroup()->isVisible());

    model->setSort(core::SortKey::size, false);
    ASSERT_TRUE(model->sorting.get());
    showChanges();
    EXPECT_TRUE(window.bar->sortingGroup()->isVisible());
    const auto spinners = childrenOf<Spinner>(*window.bar->sortingGroup());
    ASSERT_EQ(spinners.size(), 1u);
    EXPECT_EQ(spinners[0]->size(), Spinner::Size::mini);
    EXPECT_TRUE(spinners[0]->isSpinning());
    const auto texts = childrenOf<ToneText>(*window.bar->sortingGroup());
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0]->text(), QStringLiteral("sorting \u2026"));

    world.main.waitUntil([&] { return !model->sorting.get(); });
    world.settle(*model);
    showChanges();
    EXPECT_FALSE(window.bar->sortingGroup()->isVisible());
    EXPECT_FALSE(spinners[0]->isSpinning()) << "a hidden spinner stops";
}

TEST(StatusBar, TwelveVolumesAreCutAtTheRightAndNeverWidenTheView) {
    ModelWorld world;
    std::vector<DriveSpec> drives;
    for (int i = 0; i < 12; ++i)
        drives.push_back({"Drive number " + std::to_string(i), "/media/d" + std::to_string(i)});
    const auto model = makeModel(world, drives);
    for (const auto& volume : model->volumes.get()) volume->count.set(1234567);
    Window window(*model);

    EXPECT_EQ(window.host.minimumSizeHint().width(), kViewMinimumWidth);
    EXPECT_LE(window.bar->minimumSizeHint().width(), kViewMinimumWidth);
    ASSERT_EQ(window.bar->chips().size(), 12u);
    const ToneText* summary = window.bar->summary();
    EXPECT_EQ(summary->text(), QStringLiteral("14,814,804 entries indexed"));
    EXPECT_TRUE(summary->isFullyShown()) << summary->width() << " < " << summary->textWidth();
    EXPECT_EQ(summary->x(), StatusBar::kHorizontalPadding) << "the summary keeps its place";
    QWidget* row = window.bar->chipRow();
    EXPECT_LT(row->width(), row->sizeHint().width()) << "twelve chips do not fit in 720";
    EXPECT_LE(row->geometry().right(), window.bar->width() - StatusBar::kHorizontalPadding);
    EXPECT_EQ(window.bar->chips().front()->x(), 0) << "the row starts with the first chip";
    EXPECT_GT(window.bar->chips().back()->geometry().right(), row->width()) << "the last chip is cut off";
    quorvanta::test::saveShot(window.host, "statusbar-many");

    // Wide enough, the chips end at the right padding.
    window.host.resize(row->sizeHint().width() + summary->textWidth() + 200, window.host.height());
    showChanges();
    EXPECT_EQ(row->width(), row->sizeHint().width());
    EXPECT_EQ(row->geometry().right() + 1, window.bar->width() - StatusBar::kHorizontalPadding);
}

TEST(StatusBar, ALongQueryErrorIsCutRatherThanWideningTheView) {
    ModelWorld world;
    const auto model = makeModel(world, {{"A", "/media/a"}, {"B", "/media/b"}});
    Window window(*model);
    model->setQuery("lossless:" + std::string(400, 'x'));
    world.settle(*model);
    showChanges();
    ASSERT_TRUE(model->queryError.get());
    const ToneText* summary = window.bar->summary();
    EXPECT_EQ(summary->text().toStdString(), "Invalid search: " + *model->queryError.get());
    EXPECT_EQ(window.host.minimumSizeHint().width(), kViewMinimumWidth);
    EXPECT_FALSE(summary->isFullyShown());
    EXPECT_GE(summary->width(), StatusBar::kSummaryMinimumWidth);
    EXPECT_EQ(window.bar->chipRow()->width(), 0) << "the summary comes first";
}

TEST(StatusBar, ChipsFollowTheVolumeList) {
    ModelWorld world;
    const auto model = makeModel(world, {{"A", "/media/a"}, {"B", "/media/b"}, {"C", "/media/c"}});
    const auto volumes = model->volumes.get();
    for (std::size_t i = 0; i < volumes.size(); ++i) volumes[i]->count.set(static_cast<std::int64_t>(i + 1) * 100);
    Window window(*model);
    const auto before = window.bar->chips();
    ASSERT_EQ(before.size(), 3u);
    const QPointer<VolumeChip> gone = before[1];
    EXPECT_EQ(summaryOf(*window.bar), "600 entries indexed");

    volumes[1]->scanning.set(true);  // taken out while scanning: dropped from the list
    model->removeVolume(volumes[1]);
    ASSERT_EQ(model->volumes.get().size(), 2u);
    showChanges();
    EXPECT_EQ(window.bar->chips(), (std::vector<VolumeChip*>{before[0], before[2]})) << "the other chips stay";
    EXPECT_TRUE(gone.isNull()) << "the chip of the volume that left is deleted";
    EXPECT_EQ(summaryOf(*window.bar), "400 entries indexed");

    volumes[1]->count.set(5000);  // no longer listed: no longer counted or followed
    showChanges();
    EXPECT_EQ(summaryOf(*window.bar), "400 entries indexed");
}

TEST(StatusBar, NoVolumesShowOnlyTheSummary) {
    ModelWorld world;
    const auto model = world.make({}, false);
    ASSERT_TRUE(model->volumes.get().empty());
    Window window(*model);
    EXPECT_TRUE(window.bar->chips().empty());
    EXPECT_FALSE(window.bar->sortingGroup()->isVisible());
    EXPECT_EQ(summaryOf(*window.bar), "0 entries indexed");
    EXPECT_EQ(window.bar->chipRow()->width(), 0);
}

TEST(VolumeChip, ClickHidesThenShowsStoresTheSetAndSearchesAgain) {
    ModelWorld world;
    const auto model = makeModel(world, {{"Computer", "/", true}, {"Backup", "/media/b"}});
    const auto backup = model->volumes.get()[1];
    backup->count.set(4321);
    backup->scanning.set(true);
    world.settle(*model);
    Window window(*model);
    VolumeChip* chip = window.bar->chips()[1];
    ASSERT_EQ(chip->volume(), backup);
    const QString stateText = chip->stateText()->text();
    EXPECT_EQ(stateText, QStringLiteral("4,321 · scanning \u2026"));
    EXPECT_FALSE(chip->isHiddenVolume());
    EXPECT_EQ(chip->labelOpacity(), 1.0);
    EXPECT_FALSE(chip->eyeGlyph()->isVisible());
    EXPECT_FALSE(chip->nameText()->isStruckOut());

    const std::int64_t before = model->generation();
    chip->click();
    EXPECT_EQ(world.prefs.hiddenVolumes(), Prefs::VolumeIds{"/media/b"});
    EXPECT_EQ(world.settings.textList(Prefs::hiddenVolumesKey), std::vector<std::string>{"/media/b"});
    world.settle(*model);
    EXPECT_EQ(model->generation(), before + 1) << "the model searched again";
    showChanges();
    EXPECT_TRUE(chip->isHiddenVolume());
    EXPECT_DOUBLE_EQ(chip->labelOpacity(), VolumeChip::kHiddenOpacity);
    EXPECT_TRUE(chip->eyeGlyph()->isVisible());
    EXPECT_EQ(chip->eyeGlyph()->name(), "eye.slash");
    EXPECT_TRUE(chip->nameText()->isStruckOut());
    EXPECT_EQ(chip->stateText()->text(), stateText) << "a hidden volume keeps its state";
    EXPECT_TRUE(chip->spinner()->isVisible());
    EXPECT_FALSE(window.bar->chips()[0]->isHiddenVolume()) << "the other chip is untouched";

    chip->click();
    world.settle(*model);
    showChanges();
    EXPECT_TRUE(world.prefs.hiddenVolumes().empty());
    EXPECT_EQ(world.settings.textList(Prefs::hiddenVolumesKey), std::vector<std::string>{});
    EXPECT_EQ(model->generation(), before + 2);
    EXPECT_EQ(chip->labelOpacity(), 1.0);
    EXPECT_FALSE(chip->eyeGlyph()->isVisible());
    EXPECT_FALSE(chip->nameText()->isStruckOut());
}

TEST(VolumeChip, PartsFollowTheVolumeState) {
    ModelWorld world;
    const auto model = makeModel(world, {{"Computer", "/", true}});
    const auto volume = model->volumes.get()[0];
    volume->count.set(99);
    Window window(*model);
    VolumeChip* chip = window.bar->chips()[0];

    const struct {
        const char* what;
        std::function<void()> change;
        const char* glyph;
        const char* text;
        TextTone tone;
        bool spinner;
        bool check;
    } steps[] = {
        {"idle", [] {}, "internaldrive", "99", TextTone::secondary, false, true},
        {"scanning", [&] { volume->scanning.set(true); }, "internaldrive", "99 · scanning \u2026", TextTone::secondary,
         true, false},
        {"failed", [&] { volume->failure.set("Cannot read the drive"); }, "internaldrive", "Cannot read the drive",
         TextTone::red, false, false},
        {"offline", [&] { volume->offline.set(true); }, "externaldrive.badge.xmark", "99 · not connected",
         TextTone::tertiary, false, false},
    };
    for (const auto& step : steps) {
        step.change();
        showChanges();
        EXPECT_EQ(chip->driveGlyph()->name(), step.glyph) << step.what;
        EXPECT_EQ(chip->stateText()->text().toStdString(), step.text) << step.what;
        EXPECT_EQ(chip->stateText()->tone(), step.tone) << step.what;
        EXPECT_EQ(chip->spinner()->isVisible(), step.spinner) << step.what;
        EXPECT_EQ(chip->checkGlyph()->isVisible(), step.check) << step.what;
        EXPECT_EQ(chip->checkGlyph()->colour(), TextTones::green.resolved(Appearance::light)) << step.what;
    }
    EXPECT_TRUE(chip->toolTip().contains(QStringLiteral("is not connected"))) << chip->toolTip().toStdString();
}

TEST(VolumeChip, TooltipShowsNamesAsTextInTwoParagraphs) {
    ModelWorld world;
    const auto model = makeModel(world, {{"<b>Bold</b> & co", "/media/<i>x</i>"}});
    const auto volume = model->volumes.get()[0];
    volume->offline.set(true);
    Window window(*model);
    const QString tip = window.bar->chips()[0]->toolTip();
    EXPECT_TRUE(tip.contains(QStringLiteral("&lt;b&gt;Bold&lt;/b&gt; &amp; co is not connected"))) << tip.toStdString();
    EXPECT_FALSE(tip.contains(QStringLiteral("<b>")));
    EXPECT_EQ(tip.count(QStringLiteral("<p>")), 2) << tip.toStdString();
    EXPECT_EQ(window.bar->chips()[0]->nameText()->text(), QStringLiteral("<b>Bold</b> & co"));
}

// The darkest pixel of a picture, by its lightness.
int darkest(const QImage& image) {
    int least = 255;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) least = std::min(least, QColor(image.pixel(x, y)).lightness());
    return least;
}

TEST(VolumeChip, HiddenLabelIsPaintedAtReducedOpacity) {
    ModelWorld world;
    const auto model = makeModel(world, {{"Backup", "/media/b"}});
    model->volumes.get()[0]->count.set(777);
    Window window(*model);
    VolumeChip* chip = window.bar->chips()[0];
    // The darkest pixel of a part of the label, over the bar's own background; the parts whose
    // look does not change otherwise (the name is struck through when hidden).
    const auto darkestOf = [&](const QWidget* part) {
        return darkest(window.bar->grab(QRect(part->mapTo(window.bar, QPoint(0, 0)), part->size())).toImage());
    };
    const QWidget* parts[] = {chip->driveGlyph(), chip->checkGlyph(), chip->stateText()};
    std::vector<int> shown;
    for (const QWidget* part : parts) shown.push_back(darkestOf(part));
    const int ground = Theme::bar.resolved(Appearance::light).lightness();

    chip->click();
    showChanges();
    ASSERT_TRUE(chip->isHiddenVolume());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        ASSERT_LT(shown[i], ground - 60) << "part " << i << " stands out from the bar";
        const double expected = ground - (ground - shown[i]) * VolumeChip::kHiddenOpacity;
        EXPECT_NEAR(darkestOf(parts[i]), expected, 4) << "part " << i << ", shown at " << shown[i];
    }
}

// The five chips of the pictures: idle (the system disk), scanning, offline, failed and hidden.
std::shared_ptr<AppModel> pictureModel(ModelWorld& world) {
    const auto model = makeModel(world, {{"Computer", "/", true},
                                         {"Music SSD", "/media/alex/Music SSD"},
                                         {"Backup 2019", "/media/alex/Backup 2019"},
                                         {"Camera", "/media/alex/Camera"},
                                         {"Archive", "/media/alex/Archive"}});
    const auto& v = model->volumes.get();
    v[0]->count.set(1284113);
    v[0]->seconds.set(14.2);
    v[1]->count.set(48210);
    v[1]->scanning.set(true);
    v[2]->count.set(310442);
    v[2]->offline.set(true);
    v[2]->catalogDate = std::chrono::system_clock::time_point{std::chrono::seconds(1709823600)};
    v[3]->failure.set("Cannot open “/media/alex/Camera”");
    v[4]->count.set(9876);
    world.prefs.setHiddenVolumes({"/media/alex/Archive"});
    world.settle(*model);
    return model;
}

TEST(StatusBar, Pictures) {
    constexpr int kWide = 1060;
    constexpr int kWideGerman = 1180;
    {
        ModelWorld world;
        const auto model = pictureModel(world);
        test::fill(*model->volumes.get()[0], {{"Meeting notes.txt"}, {"Meeting agenda.txt"}});
        model->setQuery("meeting");
        world.settle(*model);
        Window light(*model, kWide);
        EXPECT_EQ(summaryOf(*light.bar).rfind("2 hits · ", 0), 0u);
        quorvanta::test::saveShot(*light.bar, "statusbar");
        Window dark(*model, kWide, Appearance::dark);
        quorvanta::test::saveShot(*dark.bar, "statusbar-dark");

        model->setQuery("meeting ext:");
        world.settle(*model);
        showChanges();
        EXPECT_EQ(light.bar->summary()->tone(), TextTone::red);
        quorvanta::test::saveShot(*light.bar, "statusbar-error");
    }
    {
        LanguageScope german("de");
        ModelWorld world;
        core::Lang::shared().setChoice("de");  // the model's world starts in English
        const auto model = pictureModel(world);
        Window window(*model, kWideGerman);
        EXPECT_EQ(summaryOf(*window.bar), "1.652.641 Einträge indexiert");
        quorvanta::test::saveShot(*window.bar, "statusbar-de");
    }
}

}  // namespace
}  // namespace quorvanta::app
