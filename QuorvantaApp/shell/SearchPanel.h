// SearchPanel: the window the user searches in. It is made once at launch around the search view
// (in its language root) and lives until the process ends; closing it only hides it.
//
// Size and place: 1000 × 620, centred on the primary screen on a first launch. The frame (the
// content rectangle in desktop coordinates) is kept as a text, "x y width height", under
// kFrameKey in the settings store. A saved frame replaces the centred one only when it can be
// read and meets the available area of a screen that is there now; a frame left on an unplugged
// monitor, or a value that is not a frame, gives the centred default instead. The frame is written
// once a move or resize has settled (kSaveDelay without another one), when the panel hides and
// when saveFrame() is called at quit; never on every move event.
//
// Showing and hiding: show() brings the panel in front and asks for the keyboard (show(); raise();
// activateWindow()), then posts kFocusSearch once on the notification centre, so that the search
// view focuses its query field. toggle() hides a panel that is visible and active and shows it in
// every other case: a panel visible behind another window is brought forward, not hidden.
//
// Threads: main thread. The settings store and the notification centre must outlive the panel.
#pragma once

#include "platform/notify/NotificationCenter.h"
#include "platform/settings/Settings.h"

#include <QMainWindow>
#include <QRect>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quorvanta::app {

class SearchPanel final : public QMainWindow {
public:
    static constexpr int kWidth = 1000;
    static constexpr int kHeight = 620;
    static constexpr std::string_view kFrameKey = "frame.QuorvantaSearch";
    static constexpr std::chrono::milliseconds kSaveDelay{500};

    struct Setup {
        platform::Settings& settings;
        platform::NotificationCenter& notifications;
    };

    // Takes `content` (may be null) as its central widget and places itself: the saved frame when
    // it is usable, else the centred default. Nothing is shown yet.
    explicit SearchPanel(Setup setup, QWidget* content = nullptr, QWidget* parent = nullptr);
    ~SearchPanel() override;

    // Brings the panel in front with the keyboard focus and posts kFocusSearch.
    void showPanel();
    // Hides the panel when it is visible and active; otherwise showPanel().
    void togglePanel();
    // Hides the panel (the search view's Escape, Ctrl+W); its frame is saved.
    void hidePanel();

    // Writes the current frame now (quit); a pending delayed write is dropped.
    void saveFrame();

    // The 1000 × 620 frame centred in the primary screen's available area.
    static QRect defaultFrame();
    // "x y width height" with a positive width and height; none for anything else.
    static std::optional<QRect> parseFrame(std::string_view text);
    static std::string frameText(const QRect& frame);
    // True when `frame` meets the available area of one of the screens there now.
    static bool onSomeScreen(const QRect& frame);

    // A delayed frame write is waiting (tests).
    bool frameSavePending() const { return saveTimer_.isActive(); }

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void frameChanged();

    platform::Settings& settings_;
    platform::NotificationCenter& notifications_;
    QTimer saveTimer_;
    bool placed_ = false;  // the initial placement is done; later geometry changes are the user's
};

}  // namespace quorvanta::app
