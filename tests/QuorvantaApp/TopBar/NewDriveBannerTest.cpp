// The new-drive banner over an application model fed by hand: a configured model whose scripted
// drive list holds drives that are no source yet (folders made at test time), the preferences in
// a settings store in memory. A picture shows two rows.
#include "tests/QuorvantaApp/support/ViewWorld.h"

#include "QuorvantaApp/TopBar/NewDriveBanner.h"
#include "QuorvantaApp/Widgets/ToneWidgets.h"
#include "tests/support/LanguageScope.h"
#include "tests/support/qt/SaveShot.h"

#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using test::Host;
using test::ModelWorld;
using test::showChanges;

// A configured model with the system disk as its one source and `names` as drives just mounted,
// each a folder of its own with one file, keyed "key-<name>".
std::shared_ptr<AppModel> withNewDrives(ModelWorld& world, const std::vector<std::string>& names) {
    world.drives->list.push_back(Candidate{"/", "Computer", "/", "", true, false});
    SourceConfig off;
    off.enabled = false;
    world.prefs.setSources({{"/", off}});
    for (const auto& name : names) {
        const auto root = world.dir / ("drive-" + name);
        std::filesystem::create_directories(root);
        std::ofstream(root / "song.mp3") << "x";
        world.drives->list.push_back(Candidate{"key-" + name, name, root.string(), "", false, false});
    }
    world.prefs.setConfigured(true);
    return world.make({}, false);
}

std::vector<std::string> keysOf(const NewDriveBanner& banner) {
    std::vector<std::string> keys;
    for (const auto* row : banner.rows()) keys.push_back(row->candidate().key);
    return keys;
}

TEST(NewDriveBanner, IndexAndNoAnswerOneRowEachUntilTheBannerGoes) {
    ModelWorld world;
    const auto model = withNewDrives(world, {"Music SSD", "Camera"});
    ASSERT_EQ(model->newDrives->size(), 2u);
    ASSERT_TRUE(model->volumes->empty());
    auto* banner = new NewDriveBanner(*model);
    Host host(banner, 720, 120);
    ASSERT_EQ(keysOf(*banner), (std::vector<std::string>{"key-Music SSD", "key-Camera"}));
    EXPECT_TRUE(banner->isVisible());
    EXPECT_EQ(banner->rows()[0]->question()->text().toStdString(),
              "New drive “Music SSD” — should Quorvanta index it?");
    EXPECT_EQ(banner->rows()[0]->indexButton()->text().toStdString(), "Index");
    EXPECT_EQ(banner->rows()[0]->noButton()->text().toStdString(), "No");
    const QPointer<NewDriveBanner::Row> first = banner->rows()[0];
    NewDriveBanner::Row* second = banner->rows()[1];

    first->indexButton()->click();  // indexNewDrive with the first drive
    EXPECT_FALSE(first->isEnabled()) << "no second answer before the row goes";
    const SourceMap afterIndex = world.prefs.sources();
    ASSERT_TRUE(afterIndex.contains("key-Music SSD"));
    EXPECT_TRUE(afterIndex.at("key-Music SSD").enabled);
    EXPECT_TRUE(afterIndex.at("key-Music SSD").whole);
    EXPECT_FALSE(afterIndex.contains("key-Camera"));
    ASSERT_EQ(model->volumes->size(), 1u);
    EXPECT_EQ(model->volumes.get()[0]->name(), "Music SSD");
    showChanges();
    EXPECT_EQ(banner->rows(), std::vector<NewDriveBanner::Row*>{second}) << "the other row stays as it was";
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(banner->isVisible());

    second->noButton()->click();  // ignoreNewDrive with the second
    const SourceMap afterNo = world.prefs.sources();
    ASSERT_TRUE(afterNo.contains("key-Camera"));
    EXPECT_FALSE(afterNo.at("key-Camera").enabled);
    EXPECT_EQ(model->volumes->size(), 1u) << "nothing is indexed";
    EXPECT_TRUE(model->newDrives->empty());
    showChanges();
    EXPECT_TRUE(banner->rows().empty());
    EXPECT_FALSE(banner->isVisible()) << "the banner goes with the last drive";

    const auto volume = model->volumes.get()[0];
    world.main.waitUntil([&] { return !volume->scanning.get(); });
    world.settle(*model);
}

TEST(NewDriveBanner, NameIsShownAsTextInTheRowsTranslation) {
    quorvanta::test::LanguageScope german("de");
    ModelWorld world;
    core::Lang::shared().setChoice("de");
    const auto model = withNewDrives(world, {"<b>Stick</b>"});
    NewDriveBanner banner(*model);
    ASSERT_EQ(banner.rows().size(), 1u);
    EXPECT_EQ(banner.rows()[0]->question()->text().toStdString(),
              "Neues Laufwerk „<b>Stick</b>“ – soll Quorvanta es indexieren?");
    EXPECT_EQ(banner.rows()[0]->indexButton()->text().toStdString(), "Indexieren");
    EXPECT_FALSE(banner.isVisible()) << "never shown as a window of its own";
}

TEST(NewDriveBanner, Pictures) {
    for (const auto appearance : {Appearance::light, Appearance::dark}) {
        ModelWorld world;
        const auto model = withNewDrives(world, {"Music SSD", "Camera"});
        auto* banner = new NewDriveBanner(*model);
        auto* column = new QWidget;
        auto* layout = new QVBoxLayout(column);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(banner);
        layout->addStretch(1);
        Host host(column, 720, banner->sizeHint().height() + 20, appearance);
        quorvanta::test::saveShot(host.window, appearance == Appearance::light ? "banner" : "banner-dark");
    }
}

}  // namespace
}  // namespace quorvanta::app
