#include "QuorvantaApp/shell/AppMenus.h"

#include "QuorvantaApp/Widgets/Glyph.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/AppInfo.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPalette>
#include <QString>
#include <QSystemTrayIcon>
#include <QWidget>

#include <array>

namespace quorvanta::app {

namespace {

using core::trNoop;
using A = MenuAction;
using T = MenuTarget;

constexpr MenuItemSpec kSeparator{};

const std::array kApplicationItems{
    MenuItemSpec{trNoop("About %@"), {}, A::about, T::delegate},
    kSeparator,
    MenuItemSpec{trNoop("Settings …"), "Ctrl+,", A::showSettings, T::delegate},
    MenuItemSpec{trNoop("Find duplicates …"), "Ctrl+D", A::showDuplicates, T::delegate},
    MenuItemSpec{trNoop("Drive clean-up report …"), {}, A::showJunkReport, T::delegate},
    kSeparator,
    MenuItemSpec{trNoop("Quit %@"), "Ctrl+Q", A::quit, T::delegate},
};

const std::array kEditItems{
    MenuItemSpec{trNoop("Cut"), "Ctrl+X", A::cut, T::focus},
    MenuItemSpec{trNoop("Copy"), "Ctrl+C", A::copy, T::focus},
    MenuItemSpec{trNoop("Paste"), "Ctrl+V", A::paste, T::focus},
    MenuItemSpec{trNoop("Select All"), "Ctrl+A", A::selectAll, T::focus},
};

const std::array kWindowItems{
    MenuItemSpec{trNoop("Minimize"), "Ctrl+M", A::minimize, T::window},
    MenuItemSpec{trNoop("Zoom"), {}, A::zoom, T::window},
    MenuItemSpec{trNoop("Close"), "Ctrl+W", A::close, T::window},
};

const std::array kHelpItems{
    MenuItemSpec{trNoop("Search Syntax"), {}, A::showSearchSyntax, T::delegate},
    MenuItemSpec{trNoop("Report a Problem …"), {}, A::reportProblem, T::delegate},
    MenuItemSpec{trNoop("%@ Support"), {}, A::openSupport, T::delegate},
};

const std::array kMainMenu{
    MenuSpec{{}, kApplicationItems},
    MenuSpec{trNoop("Edit"), kEditItems},
    MenuSpec{trNoop("Window"), kWindowItems},
    MenuSpec{trNoop("Help"), kHelpItems},
};

const std::array kStatusMenu{
    MenuItemSpec{trNoop("Open search"), {}, A::togglePanel, T::delegate},
    MenuItemSpec{trNoop("Find duplicates …"), "Ctrl+D", A::showDuplicates, T::delegate},
    MenuItemSpec{trNoop("Drive clean-up report …"), {}, A::showJunkReport, T::delegate},
    MenuItemSpec{trNoop("Settings …"), "Ctrl+,", A::showSettings, T::delegate},
    MenuItemSpec{trNoop("Check for updates …"), {}, A::checkUpdates, T::delegate},
    kSeparator,
    MenuItemSpec{trNoop("Quit %@"), "Ctrl+Q", A::quit, T::delegate},
};

const char* slotOf(MenuAction action) {
    switch (action) {
        case A::cut:
            return "cut";
        case A::copy:
            return "copy";
        case A::paste:
            return "paste";
        case A::selectAll:
            return "selectAll";
        default:
            return nullptr;
    }
}

QIcon trayIconImage() {
    QIcon icon;
    const QColor tint = QApplication::palette().color(QPalette::WindowText);
    for (const int size : {16, 22, 24, 32, 48, 64}) icon.addPixmap(Glyph::pixmap("magnifyingglass", size, tint));
    return icon;
}

}  // namespace

std::span<const MenuSpec> mainMenuTable() { return kMainMenu; }
std::span<const MenuItemSpec> statusMenuTable() { return kStatusMenu; }

std::string menuTitle(std::string_view key) {
    if (key.find("%@") != std::string_view::npos) return core::tr(key, core::AppInfo::name());
    return core::tr(key);
}

AppMenus::AppMenus(Setup setup, QObject* parent)
    : QObject(parent),
      window_(setup.window),
      handler_(std::move(setup.handler)),
      itemState_(std::move(setup.itemState)) {
    const bool tray = setup.trayAvailable ? setup.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
    if (tray) {
        tray_ = std::make_unique<QSystemTrayIcon>(trayIconImage());
        tray_->setToolTip(QString::fromStdString(core::AppInfo::name()));
        connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) run(A::togglePanel, T::delegate);
        });
    }
    rebuild();
    if (tray_) tray_->show();
}

AppMenus::~AppMenus() {
    if (tray_) tray_->setContextMenu(nullptr);
}

QMenuBar* AppMenus::mainMenu() const { return mainMenu_.data(); }

void AppMenus::rebuild() {
    buildStatusMenu();
    buildMainMenu();
}

namespace {

QAction* addItem(QMenu& menu, const MenuItemSpec& item, MenuItemState state, AppMenus& menus) {
    if (item.title.empty()) return menu.addSeparator();
    if (state == MenuItemState::absent) return nullptr;
    auto* action = menu.addAction(QString::fromStdString(menuTitle(item.title)));
    if (!item.shortcut.empty()) {
        action->setShortcut(QKeySequence(QString::fromUtf8(item.shortcut.data(), qsizetype(item.shortcut.size()))));
        action->setShortcutContext(Qt::ApplicationShortcut);
    }
    action->setEnabled(state == MenuItemState::enabled);
    QObject::connect(action, &QAction::triggered, &menus,
                     [&menus, a = item.action, t = item.target] { menus.run(a, t); });
    return action;
}

}  // namespace

MenuItemState AppMenus::stateOf(const MenuItemSpec& item) const {
    if (item.target != T::delegate || !itemState_) return MenuItemState::enabled;
    return itemState_(item.action);
}

void AppMenus::buildStatusMenu() {
    auto menu = std::make_unique<QMenu>();
    for (const auto& item : statusMenuTable()) {
        auto* action = addItem(*menu, item, stateOf(item), *this);
        // The menu bar holds the shortcuts; the status menu shows them only.
        if (action && !item.title.empty()) action->setShortcutContext(Qt::WidgetShortcut);
    }
    if (tray_) tray_->setContextMenu(menu.get());
    statusMenu_ = std::move(menu);
}

void AppMenus::buildMainMenu() {
    auto* bar = new QMenuBar(&window_);
    for (const auto& spec : mainMenuTable()) {
        const std::string title = spec.title.empty() ? core::AppInfo::name() : menuTitle(spec.title);
        QMenu* menu = bar->addMenu(QString::fromStdString(title));
        for (const auto& item : spec.items) addItem(*menu, item, stateOf(item), *this);
    }
    // The window deletes the menu bar it replaces.
    window_.setMenuBar(bar);
    mainMenu_ = bar;
}

void AppMenus::run(MenuAction action, MenuTarget target) {
    switch (target) {
        case T::delegate:
            if (handler_) handler_(action);
            return;
        case T::focus: {
            QWidget* focus = QApplication::focusWidget();
            const char* slot = slotOf(action);
            if (!focus || !slot) return;
            const QByteArray signature = QByteArray(slot) + "()";
            if (focus->metaObject()->indexOfMethod(signature.constData()) >= 0)
                QMetaObject::invokeMethod(focus, slot, Qt::DirectConnection);
            return;
        }
        case T::window: {
            QWidget* window = QApplication::activeWindow();
            if (!window) return;
            if (action == A::minimize)
                window->showMinimized();
            else if (action == A::zoom)
                window->isMaximized() ? window->showNormal() : window->showMaximized();
            else if (action == A::close)
                window->close();
            return;
        }
    }
}

}  // namespace quorvanta::app
