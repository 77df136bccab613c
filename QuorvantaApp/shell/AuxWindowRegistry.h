// What the windows that the menus open hold besides the search panel: one content factory per
// window, registered by the view that fills it. A window whose content is not registered cannot
// be shown, and its menu items are disabled.
//
// The application's registry (applicationWindows) holds the search-syntax card, its link opened
// through the desktop's opener. The settings, duplicate-finder, clean-up report and chooser views
// add themselves there, with the models they keep for the whole run.
//
// Threads: main thread.
#pragma once

#include "QuorvantaApp/HotKey/HotKey.h"

#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace quorvanta::app {

class AppModel;
class DesktopServices;

enum class AuxWindow { settings, duplicates, junkReport, syntax, chooser };

// What a window's content is made with.
struct AuxWindowContext {
    AppModel& model;
    // For the settings window: makes the stored combination the hot key again after the user
    // changed it, and answers with the registration's status (AppDelegate::hotKeyCallback).
    std::function<HotKeyResult()> onHotkey;
    // For the chooser: closes its own window (held weakly; nothing once the window is gone).
    std::function<void()> done;
};

struct AuxWindowContent {
    // Makes the window's view; called once per window, and again for each language.
    std::function<std::unique_ptr<QWidget>(const AuxWindowContext&)> make;
    // Runs before a window that exists already is shown again (the clean-up report recounts the
    // volumes); may be empty.
    std::function<void(AppModel&)> shownAgain;
};

class AuxWindowRegistry {
public:
    // Registers, or replaces, the content of `window`.
    void add(AuxWindow window, AuxWindowContent content);
    // None when nothing is registered for `window`.
    const AuxWindowContent* content(AuxWindow window) const;

private:
    std::map<AuxWindow, AuxWindowContent> contents_;
};

// The application's windows. `syntaxPage` is the syntax page on the web (empty: the card has no
// link), opened through `desktop`, which must outlive the registry's windows.
AuxWindowRegistry applicationWindows(std::string syntaxPage, DesktopServices& desktop);

}  // namespace quorvanta::app
