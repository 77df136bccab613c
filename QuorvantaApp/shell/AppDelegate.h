// AppDelegate: the desktop application's object around the model, made by the desktop runner once
// the model exists and kept until the process ends. It launches the application, starts the
// indexing or asks for the sources, and owns the one quit path that every trigger takes (the
// termination signals, and the menus, the menu-bar item and Ctrl+Q of the windows that come later).
//
// Launch (launch(), once), in this order: the model goes to the local API host, which starts the
// server when the user switched it on. With windows (a Shell in the setup): the appearance is
// applied; the search panel is made around the search view in its language root; the main menu
// becomes its menu bar, and the tray icon with the status menu appears when the desktop has a tray
// (AppMenus.h); "quorvanta.hideSearch" hides the panel; a language change rebuilds the menus; the
// stored hot key is registered (registerHotKey, its answer not used: a combination that cannot be
// had leaves the application without a hot key, silently); the panel is shown with the keyboard
// focus and "quorvanta.focusSearch" is posted once; "quorvanta.showSourceChooser" asks for the
// chooser. Then, with windows, the folders the sources would scan are checked once
// (model/access/FolderAccess.h); when some are closed to the application the onboarding window is
// shown instead of indexing, unless the user chose "Later" on an earlier launch or roots were forced
// (model/access/Onboarding.h). Otherwise startIndexing(). startIndexing(): scans start when the
// sources are configured or roots were forced on the command line; otherwise the chooser is shown
// (sourceChooserRequested(), showWindow) and nothing starts.
//
// The onboarding window (OnboardingWindow.h), a new one each time it is shown: "Open folder"
// opens the folder holding the first closed one in the file manager; "Restart" is relaunch();
// "Later" stores the choice, closes the window and calls startIndexing(), the only way it does.
// Its close button only closes it: indexing stays unstarted for this launch. relaunch(): closes the
// activation socket and starts a copy of the program with the same command line (Relaunch.h),
// then the quit path.
//
// The windows the menus open (settings, duplicates, clean-up report, syntax help, chooser) are
// made and kept by AuxWindows from the shell's registry; the items of a window without content
// are disabled. A language change rebuilds the menus, then retitles those windows.
//
// The hot key toggles the panel. When that shows it, the window manager is asked to activate it with
// the key press's X time (ActiveWindow.h), which a manager that prevents focus stealing requires.
//
// The observers are registered on the main queue and hold the delegate through their tokens,
// which it drops before anything else when it goes.
//
// Quit (quit()): the quit sequence of the run without windows (Serving.h) — the main queue begins
// shutting down, the local API server stops, the idle online volumes are saved synchronously —
// then the bounded end of the process. It runs once; a request while it runs, or after it ran, is
// ignored. The process ends inside it: the event loop never returns to release the model, whose
// queues would wait for every running job.
//
// Threads: main thread (the model's).
#pragma once

#include "QuorvantaApp/HotKey/HotKey.h"
#include "QuorvantaApp/shell/AuxWindowRegistry.h"
#include "QuorvantaApp/model/api_host/LocalAPIHost.h"
#include "QuorvantaApp/model/app/AppModel.h"
#include "QuorvantaApp/model/entry/ProcessEnd.h"
#include "QuorvantaApp/model/entry/Relaunch.h"
#include "QuorvantaApp/model/entry/Serving.h"
#include "QuorvantaApp/model/prefs/Prefs.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/fs/FileSystem.h"
#include "platform/notify/Connection.h"
#include "platform/notify/NotificationCenter.h"
#include "platform/settings/Settings.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvanta::core {
class Lang;
}

namespace quorvanta::app {

class AppMenus;
class AppearanceSetting;
class AuxWindows;
class DesktopServices;
class DialogPresenter;
class OnboardingWindow;
class SearchHistoryModel;
class SearchPanel;
class Updates;
enum class MenuAction;
enum class MenuItemState;

class AppDelegate final : public QObject {
    Q_OBJECT

public:
    // What the windows and menus are made over. The application's own: Shell::application().
    struct Shell {
        platform::Settings& settings;  // the panel's frame and the hot key
        platform::NotificationCenter& notifications;
        core::Lang& lang;
        SearchHistoryModel& history;
        DialogPresenter& dialogs;
        Updates& updates;
        // None: the appearance is left as it is.
        AppearanceSetting* appearance = nullptr;
        // Whether the desktop has a system tray; none: Qt's answer.
        std::function<bool()> trayAvailable;
        // Makes a combination the global hot key; none: HotKey::registerCombo.
        std::function<HotKeyResult(const HotKeyCombo&, HotKey::Handler)> registerHotKey = {};
        // The contents of the windows the menus open; none: no such window can be shown.
        std::shared_ptr<const AuxWindowRegistry> windows = {};
        // Opens folders in the file manager; null: the desktop's own (XdgDesktopServices).
        DesktopServices* desktop = nullptr;

        static Shell application();
    };

    struct Setup {
        std::shared_ptr<AppModel> model;
        LocalAPIHost& host;
        const Prefs& prefs;
        // The model's main queue.
        platform::MainQueue& main;
        // How the quit ends the process.
        ProcessEnd end;
        // "--root" was given: indexing starts without configured sources.
        bool rootsForced = false;
        // None: the delegate shows nothing; launch() starts the host and the indexing only.
        std::optional<Shell> shell = std::nullopt;
        // Where the folder-access check opens the folders; null: the real file system.
        platform::FileSystem* files = nullptr;
        // The onboarding's restart.
        Relaunch relaunch = {};
    };

    explicit AppDelegate(Setup setup, QObject* parent = nullptr);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    void launch();
    void startIndexing();
    // The quit path. True when this request ran it; returns only when the end's seam returns.
    bool quit();
    // A second launch of the application asked this instance to show itself: the panel comes up.
    void reopen();

    // The panel's toggle and its show branch (the tray's click, "Open search", reopen).
    void togglePanel();
    void showPanel();
    // The menus in the new language and the windows' titles; the windows' contents follow through
    // their language roots.
    void languageChanged();
    // Closes the activation socket, starts a copy of the program, then takes the quit path.
    void relaunch();

    // Makes the combination stored in the shell's settings (HotKeyCombo::load) the global hot key,
    // its press toggling the panel: at launch, and again when the settings window changed it.
    // Without a shell nothing is registered and the answer is unsupported.
    HotKeyResult registerHotKey();
    // What the settings window calls after the user changed the combination: registerHotKey through
    // a weak hold on the delegate; once the delegate is gone, taken and nothing registered.
    std::function<HotKeyResult()> hotKeyCallback();

    // Shows one of the windows the menus open (AuxWindows.h); nothing without a shell.
    void showWindow(AuxWindow window);

    const std::shared_ptr<AppModel>& model() const { return model_; }
    // Made at launch when there is a shell; none before.
    SearchPanel* panel() const { return panel_.get(); }
    AppMenus* menus() const { return menus_.get(); }
    AuxWindows* windows() const { return windows_.get(); }
    // The folders the launch found closed to the application.
    const std::vector<std::string>& closedFolders() const { return closed_; }
    // The onboarding window once shown; kept when closed.
    OnboardingWindow* onboarding() const { return onboarding_.get(); }

Q_SIGNALS:
    // Indexing waits for sources: the chooser window shows itself on this.
    void sourceChooserRequested();
    // The search panel is wanted in front (a second launch).
    void panelRequested();

private:
    const std::shared_ptr<AppModel> model_;
    LocalAPIHost& host_;
    const Prefs& prefs_;
    const bool rootsForced_;
    const std::optional<Shell> shell_;
    bool launched_ = false;
    QuitSequence quit_;
    platform::MainQueue& main_;
    std::unique_ptr<SearchPanel> panel_;
    std::unique_ptr<AuxWindows> windows_;
    std::unique_ptr<AppMenus> menus_;
    std::vector<platform::Connection> observers_;
    platform::FileSystem& files_;
    const Relaunch relaunch_;
    std::vector<std::string> closed_;
    std::unique_ptr<OnboardingWindow> onboarding_;

    void buildWindows();
    void showOnboarding();
    DesktopServices& desktop() const;
    void runMenuAction(MenuAction action);
    MenuItemState menuItemState(MenuAction action) const;
    void showSourceChooser();
    void hotKeyPressed(std::uint32_t pressTime);
};

}  // namespace quorvanta::app
