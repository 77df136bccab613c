// The row context menu: its seven items in the interface language, made anew on a language
// change; a right click changes no selection, and with nothing selected the menu acts on the
// clicked row alone; the Rename and Trash items run the file actions' flows, and are disabled
// while those are not there.
#include "tests/QuorvantaApp/ResultsTable/ActionFixtures.h"

#include "tests/support/LanguageScope.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using test::ActionTable;

// The items as "title [shortcut]", a separator as "-".
std::vector<std::string> items(const QMenu& menu) {
    std::vector<std::string> texts;
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            texts.emplace_back("-");
            continue;
        }
        std::string text = action->text().toStdString();
        if (!action->shortcut().isEmpty()) text += " [" + action->shortcut().toString().toStdString() + "]";
        texts.push_back(text);
    }
    return texts;
}

// Opens the menu with a right click on `row`, the way the mouse does.
void rightClick(ActionTable& t, int row) {
    const QPoint at = t.view().visualRect(t.coordinator().rows().index(row, 0)).center();
    QTest::mousePress(t.view().viewport(), Qt::RightButton, Qt::NoModifier, at);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, t.view().viewport()->mapToGlobal(at));
    QApplication::sendEvent(t.view().viewport(), &event);
}

QAction* item(const QMenu& menu, int place) { return menu.actions().at(place); }

TEST(TableMenu, SevenItemsInEnglishAndAgainAsNewItemsInGerman) {
    quorvanta::test::LanguageScope english("en");
    ActionTable t;
    ASSERT_TRUE(t.coordinator().contextMenu());
    EXPECT_EQ(items(*t.coordinator().contextMenu()),
              (std::vector<std::string>{"Open", "Show in File Manager", "Copy path", "Preview", "-", "Rename … [F2]",
                                        "Move to Trash [Del]"}));
    std::vector<QPointer<QAction>> before;
    for (QAction* action : t.coordinator().contextMenu()->actions()) before.emplace_back(action);

    core::Lang::shared().setChoice("de");
    t.world.main.drain();  // the language's notice, on the model's main queue
    test::showChanges();
    EXPECT_EQ(items(*t.coordinator().contextMenu()),
              (std::vector<std::string>{"Öffnen", "Im Dateimanager zeigen", "Pfad kopieren", "Vorschau", "-",
                                        "Umbenennen … [F2]", "In den Papierkorb legen [Del]"}));
    for (const QPointer<QAction>& action : before) EXPECT_FALSE(action) << "an item of the old menu is still there";
}

TEST(TableMenu, ARightClickWithNothingSelectedActsOnTheClickedRowAlone) {
    ActionTable t;
    rightClick(t, 2);
    EXPECT_FALSE(t.view().selectionModel()->hasSelection()) << "a right click selected the row";
    EXPECT_EQ(t.coordinator().clickedRow(), 2);
    QMenu& menu = *t.coordinator().contextMenu();
    EXPECT_TRUE(menu.isVisible());
    item(menu, 2)->trigger();  // Copy path
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), t.path(2));
    menu.hide();
    test::showChanges();
    EXPECT_EQ(t.coordinator().clickedRow(), -1) << "the clicked row outlived its menu";

    // With a selection, the menu acts on the selection, wherever the click was.
    t.select({0, 1});
    rightClick(t, 3);
    item(*t.coordinator().contextMenu(), 0)->trigger();  // Open
    EXPECT_EQ(t.desktop.opened, (std::vector<std::string>{fileURI(t.path(0)), fileURI(t.path(1))}));
    t.coordinator().contextMenu()->hide();
    test::showChanges();

    // The menu's reveal and preview refuse an offline row as the keys do.
    t.view().clearSelection();
    rightClick(t, t.offlineRow());
    t.dialogs.answers.push_back(0);
    item(*t.coordinator().contextMenu(), 1)->trigger();  // Show in File Manager
    EXPECT_EQ(t.dialogs.shown.size(), 1u);
    EXPECT_TRUE(t.desktop.revealed.empty());
}

TEST(TableMenu, RenameAndTrashRunTheirFlowsAndAreDisabledWithoutThem) {
    ActionTable t;
    t.select({0});
    rightClick(t, 0);
    QMenu& menu = *t.coordinator().contextMenu();
    EXPECT_FALSE(item(menu, 5)->isEnabled());
    EXPECT_FALSE(item(menu, 6)->isEnabled());
    menu.hide();

    std::vector<std::string> ran;
    t.coordinator().renameSelected = [&] { ran.emplace_back("rename"); };
    t.coordinator().trashSelected = [&] { ran.emplace_back("trash"); };
    rightClick(t, 0);
    EXPECT_TRUE(item(menu, 5)->isEnabled());
    EXPECT_TRUE(item(menu, 6)->isEnabled());
    item(menu, 5)->trigger();
    item(menu, 6)->trigger();
    EXPECT_EQ(ran, (std::vector<std::string>{"rename", "trash"}));
    menu.hide();
}

}  // namespace
}  // namespace quorvanta::app
