// AuxWindows: the windows the delegate opens besides the search panel (settings, duplicate
// finder, clean-up report, search syntax, chooser), made from the registry's contents.
//
// Each window is made on its first show: its content in a language root (so it follows a language
// change), titled through core::tr, sized to its content (a fixed size unless the window is
// resizable) and centred on the primary screen. Closing a window only hides it; the next show
// brings back the same one. show() brings the window to the front with the keyboard focus; a
// clean-up report window that exists already has its content's shownAgain run first (a recount).
//
// The chooser is the exception: while it is visible, show() only raises it; otherwise a fresh
// chooser (a fresh edit buffer of the sources) replaces the old window, which is deleted, so
// that closed choosers do not pile up for the rest of the run. It stays on top of other windows,
// and its content's `done` closes it.
//
// A window without registered content is never made: show() does nothing.
//
// retitle() (a language change) sets every existing window's title again, in this order: chooser,
// duplicates, clean-up report, syntax, settings.
//
// Threads: main thread. The registry, the model, the language object, the notification centre
// and the main queue must outlive the windows.
#pragma once

#include "QuorvantaApp/shell/AuxWindowRegistry.h"
#include "QuorvantaCore/lang/Lang.h"
#include "platform/dispatch/Executor.h"
#include "platform/notify/NotificationCenter.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

namespace quorvanta::app {

class AuxWindows {
public:
    struct Setup {
        const AuxWindowRegistry& registry;
        AppModel& model;
        // The settings window's hot-key callback.
        std::function<HotKeyResult()> onHotkey;
        core::Lang& lang;
        platform::NotificationCenter& notifications;
        platform::Executor& mainQueue;
    };

    explicit AuxWindows(Setup setup);
    ~AuxWindows();
    AuxWindows(const AuxWindows&) = delete;
    AuxWindows& operator=(const AuxWindows&) = delete;

    // Whether `window` has registered content, so that it can be shown.
    bool available(AuxWindow window) const;
    void show(AuxWindow window);
    // The window once made; null before its first show.
    QWidget* window(AuxWindow window) const;
    void retitle();

private:
    std::unique_ptr<QWidget> make(AuxWindow window, const AuxWindowContent& content);

    Setup setup_;
    std::array<std::unique_ptr<QWidget>, 5> windows_;
};

}  // namespace quorvanta::app
