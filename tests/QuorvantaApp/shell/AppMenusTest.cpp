// The main menu and the status menu: what each shows (titles, shortcuts, enabled items) in English
// and German, where each item's action goes, the rebuild on a language change, the tray icon with
// and without a system tray, and the Edit items that serve the focus widget without taking its keys.
// The core's headers first: its signals have an emit member, which Qt's keyword macro rewrites
// once a Qt header came before.
#include "tests/support/LanguageScope.h"

#include "QuorvantaApp/shell/SearchPanel.h"

#include "QuorvantaApp/shell/AppMenus.h"
#include "tests/support/qt/PostedEvents.h"
#include "tests/support/qt/SaveShot.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using A = MenuAction;
using quorvanta::test::LanguageScope;

// One row per item: "title|shortcut|enabled", a separator as "-".
using Rows = std::vector<std::string>;

std::string row(const QAction* action) {
    if (action->isSeparator()) return "-";
    return action->text().toStdString() + "|" + action->shortcut().toString(QKeySequence::PortableText).toStdString() +
           "|" + (action->isEnabled() ? "on" : "off");
}

Rows rowsOf(const QMenu& menu) {
    Rows rows;
    for (const QAction* action : menu.actions()) rows.push_back(row(action));
    return rows;
}

// The menu bar: each menu's title, then its rows.
std::vector<std::pair<std::string, Rows>> menusOf(const QMenuBar& bar) {
    std::vector<std::pair<std::string, Rows>> menus;
    for (const QAction* action : bar.actions())
        menus.emplace_back(action->text().toStdString(), rowsOf(*action->menu()));
    return menus;
}

// What the delegate answers before any window has content, in a build without the release's
// support address and page.
MenuItemState noWindowsYet(MenuAction action) {
    switch (action) {
        case A::showSettings:
        case A::showDuplicates:
        case A::showJunkReport:
        case A::showSearchSyntax:
            return MenuItemState::disabled;
        case A::reportProblem:
        case A::openSupport:
            return MenuItemState::absent;
        default:
            return MenuItemState::enabled;
    }
}

struct World {
    explicit World(bool tray = false, std::function<MenuItemState(MenuAction)> state = noWindowsYet)
        : menus({window, [this](MenuAction a) { ran.push_back(a); }, [tray] { return tray; }, std::move(state)}) {}

    QMainWindow window;
    std::vector<MenuAction> ran;
    AppMenus menus;
};

TEST(AppMenusTable, MainMenuInEnglishAndGerman) {
    const struct {
        const char* language;
        std::vector<std::pair<std::string, Rows>> menus;
    } cases[] = {
        {"en",
         {{"Quorvanta",
           {"About Quorvanta||on", "-", "Settings …|Ctrl+,|off", "Find duplicates …|Ctrl+D|off",
            "Drive clean-up report …||off", "-", "Quit Quorvanta|Ctrl+Q|on"}},
          {"Edit", {"Cut|Ctrl+X|on", "Copy|Ctrl+C|on", "Paste|Ctrl+V|on", "Select All|Ctrl+A|on"}},
          {"Window", {"Minimize|Ctrl+M|on", "Zoom||on", "Close|Ctrl+W|on"}},
          {"Help", {"Search Syntax||off"}}}},
        {"de",
         {{"Quorvanta",
           {"Über Quorvanta||on", "-", "Einstellungen …|Ctrl+,|off", "Duplikate finden …|Ctrl+D|off",
            "Bericht zur Laufwerksbereinigung …||off", "-", "Quorvanta beenden|Ctrl+Q|on"}},
          {"Bearbeiten",
           {"Ausschneiden|Ctrl+X|on", "Kopieren|Ctrl+C|on", "Einsetzen|Ctrl+V|on", "Alles auswählen|Ctrl+A|on"}},
          {"Fenster", {"Minimieren|Ctrl+M|on", "Zoomen||on", "Schließen|Ctrl+W|on"}},
          {"Hilfe", {"Suchsyntax||off"}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        LanguageScope language(c.language);
        World w;
        ASSERT_EQ(w.window.menuBar(), w.menus.mainMenu());
        EXPECT_EQ(menusOf(*w.menus.mainMenu()), c.menus);
    }
}

TEST(AppMenusTable, StatusMenuInEnglishAndGerman) {
    const struct {
        const char* language;
        Rows rows;
    } cases[] = {
        {"en",
         {"Open search||on", "Find duplicates …|Ctrl+D|off", "Drive clean-up report …||off", "Settings …|Ctrl+,|off",
          "Check for updates …||on", "-", "Quit Quorvanta|Ctrl+Q|on"}},
        {"de",
         {"Suche öffnen||on", "Duplikate finden …|Ctrl+D|off", "Bericht zur Laufwerksbereinigung …||off",
          "Einstellungen …|Ctrl+,|off", "Nach Updates suchen …||on", "-", "Quorvanta beenden|Ctrl+Q|on"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        LanguageScope language(c.language);
        World w;
        EXPECT_EQ(rowsOf(*w.menus.statusMenu()), c.rows);
    }
}

TEST(AppMenusTable, TitlesWithAnEllipsisUseOneCharacterAfterASpace) {
    std::vector<std::string_view> titles;
    for (const auto& menu : mainMenuTable())
        for (const auto& item : menu.items) titles.push_back(item.title);
    for (const auto& item : statusMenuTable()) titles.push_back(item.title);
    int withEllipsis = 0;
    for (const auto title : titles) {
        EXPECT_EQ(title.find("..."), std::string_view::npos) << title;
        const auto at = title.find("…");
        if (at == std::string_view::npos) continue;
        ++withEllipsis;
        EXPECT_EQ(at + std::string_view("…").size(), title.size()) << title;
        EXPECT_EQ(title.substr(at - 1, 1), " ") << title;
    }
    EXPECT_EQ(withEllipsis, 8);
}

TEST(AppMenusTable, EachDelegateItemIsEnabledDisabledOrLeftOutAsTheDelegateSays) {
    const auto state = [](MenuAction action) {
        switch (action) {
            case A::showDuplicates:
                return MenuItemState::disabled;
            case A::reportProblem:
            case A::showJunkReport:
                return MenuItemState::absent;
            default:
                return MenuItemState::enabled;
        }
    };
    LanguageScope english("en");
    World w(false, state);
    EXPECT_EQ(rowsOf(*w.menus.mainMenu()->actions()[0]->menu()),
              (Rows{"About Quorvanta||on", "-", "Settings …|Ctrl+,|on", "Find duplicates …|Ctrl+D|off", "-",
                    "Quit Quorvanta|Ctrl+Q|on"}));
    EXPECT_EQ(rowsOf(*w.menus.mainMenu()->actions()[3]->menu()), (Rows{"Search Syntax||on", "Quorvanta Support||on"}));
    EXPECT_EQ(rowsOf(*w.menus.statusMenu()),
              (Rows{"Open search||on", "Find duplicates …|Ctrl+D|off", "Settings …|Ctrl+,|on",
                    "Check for updates …||on", "-", "Quit Quorvanta|Ctrl+Q|on"}));
    // The Edit and Window items are not the delegate's: always there.
    EXPECT_EQ(w.menus.mainMenu()->actions()[1]->menu()->actions().size(), 4);
    EXPECT_EQ(w.menus.mainMenu()->actions()[2]->menu()->actions().size(), 3);
    for (QAction* action : w.menus.statusMenu()->actions()) action->trigger();
    EXPECT_EQ(w.ran, (std::vector<MenuAction>{A::togglePanel, A::showSettings, A::checkUpdates, A::quit}));
}

TEST(AppMenusActions, EachDelegateItemRunsItsAction) {
    World w(false, {});
    std::vector<MenuAction> expected;
    const QList<QAction*> barMenus = w.menus.mainMenu()->actions();
    const auto table = mainMenuTable();
    ASSERT_EQ(barMenus.size(), qsizetype(table.size()));
    for (std::size_t m = 0; m < table.size(); ++m) {
        const QList<QAction*> items = barMenus[qsizetype(m)]->menu()->actions();
        ASSERT_EQ(items.size(), qsizetype(table[m].items.size()));
        for (std::size_t i = 0; i < table[m].items.size(); ++i) {
            const auto& spec = table[m].items[i];
            if (spec.title.empty() || spec.target != MenuTarget::delegate) continue;
            items[qsizetype(i)]->trigger();
            expected.push_back(spec.action);
        }
    }
    for (QAction* action : w.menus.statusMenu()->actions()) action->trigger();
    for (const auto& spec : statusMenuTable())
        if (!spec.title.empty()) expected.push_back(spec.action);
    EXPECT_EQ(w.ran, expected);
    EXPECT_EQ(w.ran, (std::vector<MenuAction>{A::about, A::showSettings, A::showDuplicates, A::showJunkReport, A::quit,
                                              A::showSearchSyntax, A::reportProblem, A::openSupport, A::togglePanel,
                                              A::showDuplicates, A::showJunkReport, A::showSettings, A::checkUpdates,
                                              A::quit}));
}

TEST(AppMenusActions, LanguageChangeMakesBothMenusAnew) {
    LanguageScope english("en");
    World w;
    QPointer<QMenuBar> oldBar = w.menus.mainMenu();
    QMenu* oldStatus = w.menus.statusMenu();
    core::Lang::shared().setChoice("de");
    w.menus.rebuild();
    EXPECT_NE(w.menus.statusMenu(), oldStatus);
    EXPECT_NE(w.menus.mainMenu(), oldBar.data());
    EXPECT_EQ(w.window.menuBar(), w.menus.mainMenu());
    EXPECT_EQ(w.menus.mainMenu()->actions()[1]->text().toStdString(), "Bearbeiten");
    EXPECT_EQ(w.menus.statusMenu()->actions()[0]->text().toStdString(), "Suche öffnen");
    test::runPostedEvents();
    EXPECT_TRUE(oldBar.isNull());
}

TEST(AppMenusTray, OnlyWithASystemTray) {
    {
        World w(true);
        QSystemTrayIcon* tray = w.menus.trayIcon();
        ASSERT_NE(tray, nullptr);
        EXPECT_EQ(tray->contextMenu(), w.menus.statusMenu());
        EXPECT_EQ(tray->toolTip().toStdString(), "Quorvanta");
        EXPECT_FALSE(tray->icon().isNull());
        // A left click toggles; the other clicks open the menu, which the desktop does.
        Q_EMIT tray->activated(QSystemTrayIcon::Trigger);
        Q_EMIT tray->activated(QSystemTrayIcon::Context);
        Q_EMIT tray->activated(QSystemTrayIcon::MiddleClick);
        EXPECT_EQ(w.ran, std::vector<MenuAction>{A::togglePanel});
        // The rebuilt status menu is the tray's menu.
        w.menus.rebuild();
        EXPECT_EQ(tray->contextMenu(), w.menus.statusMenu());
    }
    World w(false);
    EXPECT_EQ(w.menus.trayIcon(), nullptr);
    // Quit stays in the menu bar.
    QAction* quit = w.menus.mainMenu()->actions()[0]->menu()->actions().back();
    EXPECT_EQ(quit->text().toStdString(), "Quit Quorvanta");
    quit->trigger();
    EXPECT_EQ(w.ran, std::vector<MenuAction>{A::quit});
}

// A window with the menus, a query field and a button; shown and active.
struct EditWorld {
    EditWorld() : menus({window, [this](MenuAction a) { ran.push_back(a); }, [] { return false; }}) {
        auto* central = new QWidget;
        auto* column = new QVBoxLayout(central);
        field = new QLineEdit("hello world");
        button = new QPushButton("button");
        column->addWidget(field);
        column->addWidget(button);
        window.setCentralWidget(central);
        window.resize(400, 200);
        window.show();
        QApplication::setActiveWindow(&window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QAction* edit(int index) const { return menus.mainMenu()->actions()[1]->menu()->actions()[index]; }

    QMainWindow window;
    std::vector<MenuAction> ran;
    AppMenus menus;
    QLineEdit* field = nullptr;
    QPushButton* button = nullptr;
};

TEST(AppMenusEdit, ItemsServeTheFocusWidget) {
    EditWorld w;
    w.field->setFocus();
    w.field->setCursorPosition(0);
    w.edit(3)->trigger();  // Select All
    EXPECT_EQ(w.field->selectedText().toStdString(), "hello world");
    w.edit(1)->trigger();  // Copy
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "hello world");
    w.edit(0)->trigger();  // Cut
    EXPECT_EQ(w.field->text().toStdString(), "");
    w.edit(2)->trigger();  // Paste
    w.edit(2)->trigger();
    EXPECT_EQ(w.field->text().toStdString(), "hello worldhello world");
    // A focus widget without the slot is left alone.
    w.button->setFocus();
    w.edit(2)->trigger();
    EXPECT_EQ(w.field->text().toStdString(), "hello worldhello world");
    EXPECT_TRUE(w.ran.empty());
}

TEST(AppMenusEdit, TheQueryFieldKeepsItsKeys) {
    EditWorld w;
    int selectAllRuns = 0;
    QObject::connect(w.edit(3), &QAction::triggered, [&] { ++selectAllRuns; });
    w.field->setFocus();
    w.field->setCursorPosition(0);
    // Ctrl+A in the field: the field's own key, not the menu's.
    QTest::keyClick(w.window.windowHandle(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(w.field->selectedText().toStdString(), "hello world");
    EXPECT_EQ(selectAllRuns, 0);
    QTest::keyClick(w.window.windowHandle(), Qt::Key_End);
    QTest::keyClicks(w.field, "!");
    EXPECT_EQ(w.field->text().toStdString(), "hello world!");
    // Elsewhere in the window the shortcut reaches the menu.
    w.button->setFocus();
    QTest::keyClick(w.window.windowHandle(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selectAllRuns, 1);
    // Ctrl+Q is the menu's from any widget.
    w.field->setFocus();
    QTest::keyClick(w.window.windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(w.ran, std::vector<MenuAction>{A::quit});
}

TEST(AppMenusWindow, CloseHidesThePanelAndZoomToggles) {
    platform::MemorySettings settings;
    platform::NotificationCenter notifications;
    SearchPanel panel({settings, notifications});
    AppMenus menus({panel, {}, [] { return false; }});
    panel.showPanel();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    QAction* zoom = menus.mainMenu()->actions()[2]->menu()->actions()[1];
    zoom->trigger();
    EXPECT_TRUE(panel.isMaximized());
    zoom->trigger();
    EXPECT_FALSE(panel.isMaximized());
    QTest::keyClick(panel.windowHandle(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(panel.isVisible());
}

TEST(AppMenusPictures, ApplicationAndStatusMenus) {
    LanguageScope english("en");
    World w;
    QMenu* app = w.menus.mainMenu()->actions()[0]->menu();
    app->popup(QPoint(0, 0));
    test::runPostedEvents();
    quorvanta::test::saveShot(*app, "menu-app");
    app->hide();
    QMenu* status = w.menus.statusMenu();
    status->popup(QPoint(0, 0));
    test::runPostedEvents();
    quorvanta::test::saveShot(*status, "menu-status");
    status->hide();
}

}  // namespace
}  // namespace quorvanta::app
