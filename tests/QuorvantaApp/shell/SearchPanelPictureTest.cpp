// Pictures of the search panel as the user meets it: the search view in its language root over a
// small tree, with the menu bar, in English and in German, at the panel's first-launch size.
#include "tests/QuorvantaApp/support/ViewWorld.h"

#include "QuorvantaApp/SearchView/SearchView.h"
#include "QuorvantaApp/Widgets/LangRoot.h"
#include "QuorvantaApp/model/history/SearchHistoryModel.h"
#include "QuorvantaApp/shell/AppMenus.h"
#include "QuorvantaApp/shell/QtMainQueue.h"
#include "QuorvantaApp/shell/SearchPanel.h"
#include "tests/support/LanguageScope.h"
#include "tests/support/TempDir.h"
#include "tests/support/qt/SaveShot.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace quorvanta::app {
namespace {

using test::makeModel;
using test::ModelWorld;
using test::showChanges;

// A music drive and the system disk, with a few files that match "remix".
struct SmallTree {
    SmallTree() {
        model = makeModel(world, {{"Computer", "/", true}, {"Music SSD", "/media/alex/Music SSD"}});
        const auto volumes = model->volumes.get();
        test::fill(*volumes[0],
                   {{"home", FIDX_NONE, 1}, {"alex", 1, 1}, {"Documents", 2, 1}, {"remix-notes.txt", 3, 0, 2048}});
        test::fill(*volumes[1], {{"Sets", FIDX_NONE, 1},
                                 {"Night Drive (Remix).flac", 1, 0, 48000000},
                                 {"Summer Remix.mp3", 1, 0, 9100000}});
        volumes[0]->count.set(4);
        volumes[1]->count.set(3);
        model->setQuery("remix");
        world.settle(*model);
    }

    ModelWorld world;
    quorvanta::test::TempDir dir;
    SearchHistoryModel history{dir / "search-history.json"};
    std::shared_ptr<AppModel> model;
};

void shoot(const std::string& language, const char* name, const char* junkLabel) {
    quorvanta::test::LanguageScope scope(language);
    SmallTree tree;
    core::Lang::shared().setChoice(language);  // the model's world starts in English
    platform::MemorySettings settings;
    platform::NotificationCenter notifications;
    QtMainQueue mainQueue;
    auto* root = new LangRoot({core::Lang::shared(), notifications, mainQueue},
                              [&] { return std::make_unique<SearchView>(*tree.model, tree.history); });
    SearchPanel panel({settings, notifications}, root);
    AppMenus menus({panel, {}, [] { return false; }});
    panel.setPalette(Theme::palette(Appearance::light));
    panel.showPanel();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    showChanges();
    ASSERT_EQ(panel.size(), QSize(SearchPanel::kWidth, SearchPanel::kHeight));
    auto* view = dynamic_cast<SearchView*>(root->content());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->queryField()->text().toStdString(), "remix");
    EXPECT_EQ(view->junkBox()->text().toStdString(), junkLabel);
    EXPECT_TRUE(panel.menuBar()->isVisible());
    quorvanta::test::saveShot(panel, name);
}

TEST(SearchPanelPictures, PanelInEnglishAndGerman) {
    shoot("en", "panel", "Hidden files");
    shoot("de", "panel-de", "Versteckte Dateien");
}

}  // namespace
}  // namespace quorvanta::app
