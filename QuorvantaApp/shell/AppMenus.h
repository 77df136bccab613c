// The application's two menus, each built from one table that the tests read as well: the main
// menu, the search panel's menu bar, and the status menu, the context menu of the tray icon.
//
// Titles are looked up with core::tr when a menu is built; "%@" in a title takes the application's
// name. "…" is the single character U+2026 after a space. Shortcuts are written Ctrl where the
// other desktop has Command, and work from every window of the application (they are application
// shortcuts).
//
// Where an item's action goes (its target):
//   - delegate: the handler given to AppMenus (open a window, toggle the panel, check for updates,
//     quit, about). Whether such an item is enabled, disabled or left out is asked of the
//     delegate when a menu is built: a window that cannot be made disables its items, and a
//     help item whose address the release does not give is left out.
//   - focus: the focus widget's own cut/copy/paste/selectAll slot, when it has one. A focus widget
//     that handles the key itself (the query field with Ctrl+C) is asked first through Qt's
//     ShortcutOverride, so typing there never loses a key to the menu.
//   - window: the active window: Minimize, Zoom (maximise or restore), Close (the panel hides).
//
// The tray icon exists only when the desktop has a system tray (asked once, injectable for tests).
// A left click on it runs togglePanel; its tooltip is the application's name; its menu is the
// status menu. Without a tray the menu bar still has every item, Quit included.
//
// rebuild() (a language change) makes the status menu anew, then the main menu; each run replaces
// the previous menu whole.
//
// Threads: main thread.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

class QMainWindow;
class QMenu;
class QMenuBar;
class QSystemTrayIcon;

namespace quorvanta::app {

enum class MenuAction {
    about,
    showSettings,
    showDuplicates,
    showJunkReport,
    quit,
    cut,
    copy,
    paste,
    selectAll,
    minimize,
    zoom,
    close,
    showSearchSyntax,
    reportProblem,
    openSupport,
    togglePanel,
    checkUpdates,
};

enum class MenuTarget { delegate, focus, window };

enum class MenuItemState { enabled, disabled, absent };

struct MenuItemSpec {
    std::string_view title;          // the key for core::tr; empty: a separator
    std::string_view shortcut = {};  // portable key sequence text ("Ctrl+,"); empty: none
    MenuAction action = MenuAction::about;
    MenuTarget target = MenuTarget::delegate;
};

struct MenuSpec {
    std::string_view title;  // empty: the application menu, titled with the application's name
    std::span<const MenuItemSpec> items;
};

std::span<const MenuSpec> mainMenuTable();
std::span<const MenuItemSpec> statusMenuTable();

// An item's or a menu's title as shown: translated, with the application's name put in.
std::string menuTitle(std::string_view key);

class AppMenus final : public QObject {
public:
    using Handler = std::function<void(MenuAction)>;

    struct Setup {
        // The window whose menu bar is the main menu.
        QMainWindow& window;
        // Runs the delegate's actions.
        Handler handler;
        // Whether the desktop has a system tray; none: QSystemTrayIcon::isSystemTrayAvailable.
        std::function<bool()> trayAvailable;
        // The state of each delegate item; none: every item enabled.
        std::function<MenuItemState(MenuAction)> itemState = {};
    };

    // Builds both menus, and the tray icon when there is a tray.
    explicit AppMenus(Setup setup, QObject* parent = nullptr);
    ~AppMenus() override;

    // The status menu anew, then the main menu anew.
    void rebuild();

    QMenuBar* mainMenu() const;
    QMenu* statusMenu() const { return statusMenu_.get(); }
    // None without a system tray.
    QSystemTrayIcon* trayIcon() const { return tray_.get(); }

    // Runs `action` at its target, as choosing its item does.
    void run(MenuAction action, MenuTarget target);

private:
    void buildStatusMenu();
    void buildMainMenu();
    MenuItemState stateOf(const MenuItemSpec& item) const;

    QMainWindow& window_;
    const Handler handler_;
    const std::function<MenuItemState(MenuAction)> itemState_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<QMenu> statusMenu_;
    QPointer<QMenuBar> mainMenu_;
};

}  // namespace quorvanta::app
