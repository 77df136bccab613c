#include "QuorvantaApp/shell/AppDelegate.h"

#include "QuorvantaApp/HotKey/ActiveWindow.h"
#include "QuorvantaApp/HotKeyRecorder/HotKeyCombo.h"
#include "QuorvantaApp/SearchView/SearchView.h"
#include "QuorvantaApp/Theme/AppearanceSetting.h"
#include "QuorvantaApp/Widgets/LangRoot.h"
#include "QuorvantaApp/model/access/FolderAccess.h"
#include "QuorvantaApp/model/access/Onboarding.h"
#include "QuorvantaApp/model/history/SearchHistoryModel.h"
#include "QuorvantaApp/shell/AppMenus.h"
#include "QuorvantaApp/shell/AuxWindows.h"
#include "QuorvantaApp/shell/DesktopServices.h"
#include "QuorvantaApp/shell/DialogPresenter.h"
#include "QuorvantaApp/shell/OnboardingWindow.h"
#include "QuorvantaApp/shell/SearchPanel.h"
#include "QuorvantaApp/shell/Updates.h"
#include "QuorvantaCore/lang/Lang.h"
#include "QuorvantaCore/util/AppInfo.h"
#include "platform/diagnostics/Verbose.h"
#include "platform/notify/NotificationNames.h"

#include <QPointer>

#include <cstdio>
#include <utility>

namespace quorvanta::app {

AppDelegate::Shell AppDelegate::Shell::application() {
    static QtDialogs dialogs;
    static XdgDesktopServices desktop;
    static const auto windows =
        std::make_shared<const AuxWindowRegistry>(applicationWindows(QUORVANTA_SYNTAX_PAGE, desktop));
    return Shell{platform::standardSettings(),
                 platform::NotificationCenter::standard(),
                 core::Lang::shared(),
                 SearchHistoryModel::shared(),
                 dialogs,
                 Updates::shared(),
                 &AppearanceSetting::shared(),
                 {},
                 {},
                 windows,
                 &desktop};
}

AppDelegate::AppDelegate(Setup setup, QObject* parent)
    : QObject(parent),
      model_(std::move(setup.model)),
      host_(setup.host),
      prefs_(setup.prefs),
      rootsForced_(setup.rootsForced),
      shell_(std::move(setup.shell)),
      quit_(model_, setup.host, setup.main, std::move(setup.end)),
      main_(setup.main),
      files_(setup.files ? *setup.files : platform::realFileSystem()),
      relaunch_(std::move(setup.relaunch)) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::launch() {
    if (launched_) return;
    launched_ = true;
    serveModel(model_, host_);
    if (!shell_) {
        startIndexing();
        return;
    }
    buildWindows();
    closed_ = FolderAccess::check(model_->candidatesProvider()->candidates(), prefs_, rootsForced_, files_);
    if (Onboarding::needed(closed_, prefs_.d(), rootsForced_))
        showOnboarding();
    else
        startIndexing();
}

void AppDelegate::showOnboarding() {
    OnboardingView::Actions actions;
    actions.openFolder = [this] {
        if (const auto url = Onboarding::folderToOpen(closed_)) desktop().openUrl(*url);
    };
    actions.restart = [this] { relaunch(); };
    actions.later = [this] {
        Onboarding::dismiss(prefs_.d());
        if (onboarding_) onboarding_->close();
        startIndexing();
    };
    onboarding_ = std::make_unique<OnboardingWindow>(
        OnboardingWindow::Setup{{shell_->lang, shell_->notifications, main_}, closed_, std::move(actions)});
    onboarding_->present();
}

void AppDelegate::relaunch() {
    const platform::DetachedStart started = relaunch_.run();
    if (!started.started() && platform::verbose()) std::fprintf(stderr, "restart: %s\n", started.message.c_str());
    quit();
}

DesktopServices& AppDelegate::desktop() const {
    static XdgDesktopServices own;
    return shell_ && shell_->desktop ? *shell_->desktop : own;
}

void AppDelegate::buildWindows() {
    if (shell_->appearance) shell_->appearance->applyStored();

    auto* root = new LangRoot(
        {shell_->lang, shell_->notifications, main_},
        [model = model_, &history = shell_->history] { return std::make_unique<SearchView>(*model, history); });
    panel_ = std::make_unique<SearchPanel>(SearchPanel::Setup{shell_->settings, shell_->notifications}, root);
    static const AuxWindowRegistry kNoWindows;
    windows_ = std::make_unique<AuxWindows>(AuxWindows::Setup{shell_->windows ? *shell_->windows : kNoWindows, *model_,
                                                              hotKeyCallback(), shell_->lang, shell_->notifications,
                                                              main_});
    menus_ = std::make_unique<AppMenus>(AppMenus::Setup{*panel_,
                                                        [this](MenuAction action) { runMenuAction(action); },
                                                        shell_->trayAvailable,
                                                        [this](MenuAction action) { return menuItemState(action); }});

    auto& notifications = shell_->notifications;
    observers_.push_back(notifications.observe(platform::notification_names::kHideSearch, main_, [this] {
        if (panel_) panel_->hidePanel();
    }));
    observers_.push_back(notifications.observe(core::Lang::didChange, main_, [this] { languageChanged(); }));
    registerHotKey();
    showPanel();
    observers_.push_back(notifications.observe(platform::notification_names::kShowSourceChooser, main_,
                                               [this] { showSourceChooser(); }));
}

void AppDelegate::startIndexing() {
    if (prefs_.configured() || rootsForced_)
        model_->startScans();
    else
        showSourceChooser();
}

void AppDelegate::showSourceChooser() {
    Q_EMIT sourceChooserRequested();
    showWindow(AuxWindow::chooser);
}

void AppDelegate::showWindow(AuxWindow window) {
    if (windows_) windows_->show(window);
}

bool AppDelegate::quit() {
    if (panel_) panel_->saveFrame();
    return quit_.request();
}

void AppDelegate::reopen() {
    showPanel();
    Q_EMIT panelRequested();
}

void AppDelegate::togglePanel() {
    if (panel_) panel_->togglePanel();
}

void AppDelegate::showPanel() {
    if (panel_) panel_->showPanel();
}

void AppDelegate::languageChanged() {
    if (menus_) menus_->rebuild();
    if (windows_) windows_->retitle();
    if (onboarding_) onboarding_->retitle();
}

HotKeyResult AppDelegate::registerHotKey() {
    if (!shell_) return {HotKeyStatus::unsupported, {}};
    HotKey::Handler toggle = [self = QPointer<AppDelegate>(this)](std::uint32_t pressTime) {
        if (self) self->hotKeyPressed(pressTime);
    };
    const auto combo = HotKeyCombo::load(shell_->settings);
    if (shell_->registerHotKey) return shell_->registerHotKey(combo, std::move(toggle));
    return HotKey::registerCombo(combo, std::move(toggle));
}

std::function<HotKeyResult()> AppDelegate::hotKeyCallback() {
    return [self = QPointer<AppDelegate>(this)]() -> HotKeyResult {
        if (!self) return {HotKeyStatus::taken, {}};
        return self->registerHotKey();
    };
}

void AppDelegate::hotKeyPressed(std::uint32_t pressTime) {
    if (!panel_) return;
    panel_->togglePanel();
    // Shown: the press's own time lets the window manager give it the focus.
    if (panel_->isVisible()) requestActiveWindow(static_cast<std::uint32_t>(panel_->winId()), pressTime);
}

void AppDelegate::runMenuAction(MenuAction action) {
    switch (action) {
        case MenuAction::about: {
            Alert about;
            about.style = Alert::Style::informational;
            about.message = core::AppInfo::name();
            about.informative = QUORVANTA_VERSION;
            shell_->dialogs.alert(about, panel_.get());
            return;
        }
        case MenuAction::quit:
            quit();
            return;
        case MenuAction::togglePanel:
            togglePanel();
            return;
        case MenuAction::checkUpdates:
            shell_->updates.check(panel_.get());
            return;
        case MenuAction::showSettings:
            showWindow(AuxWindow::settings);
            return;
        case MenuAction::showDuplicates:
            showWindow(AuxWindow::duplicates);
            return;
        case MenuAction::showJunkReport:
            showWindow(AuxWindow::junkReport);
            return;
        case MenuAction::showSearchSyntax:
            showWindow(AuxWindow::syntax);
            return;
        default:
            return;
    }
}

MenuItemState AppDelegate::menuItemState(MenuAction action) const {
    const auto shown = [this](AuxWindow window) {
        return windows_ && windows_->available(window) ? MenuItemState::enabled : MenuItemState::disabled;
    };
    switch (action) {
        case MenuAction::showSettings:
            return shown(AuxWindow::settings);
        case MenuAction::showDuplicates:
            return shown(AuxWindow::duplicates);
        case MenuAction::showJunkReport:
            return shown(AuxWindow::junkReport);
        case MenuAction::showSearchSyntax:
            return shown(AuxWindow::syntax);
        case MenuAction::reportProblem:
        case MenuAction::openSupport:
            return MenuItemState::absent;
        default:
            return MenuItemState::enabled;
    }
}

}  // namespace quorvanta::app
