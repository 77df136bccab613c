// The small window the launch shows when folders the user chose to index are closed to the
// application (model/access/Onboarding.h decides when). A new one is made each time it is shown.
//
// The window: titled "Welcome to <name>" and closable, its size that of its content, centred on the
// primary screen, kept above other windows and shown without taking the focus from another
// application. Its content, in a language root, is OnboardingView: a vertical stack 520 wide with
// 24 around and 14 between: the drive symbol in the accent colour; "<name> cannot read some of
// your folders"; the explanation; the closed folders as they are, one a line, in a list that
// scrolls past kVisibleFolders lines; the three steps; and the buttons "Open folder" (the default:
// Return anywhere in the window presses it), "Restart <name>", a space, "Later".
//
// The buttons do what the delegate gives (Actions); the window knows no rule of its own. Its close
// button only closes it: no action runs.
//
// Threads: main thread. What the language root is made over must outlive the window.
#pragma once

#include "QuorvantaApp/Widgets/LangRoot.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace quorvanta::app {

class OnboardingView final : public QWidget {
public:
    static constexpr int kWidth = 520;
    static constexpr int kPadding = 24;
    static constexpr int kSpacing = 14;
    static constexpr int kStepSpacing = 6;
    static constexpr int kVisibleFolders = 4;

    struct Actions {
        std::function<void()> openFolder;
        std::function<void()> restart;
        std::function<void()> later;
    };

    OnboardingView(const std::vector<std::string>& closed, const Actions& actions, QWidget* parent = nullptr);

    QListWidget* folderList() const { return folders_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* restartButton() const { return restart_; }
    QPushButton* laterButton() const { return later_; }

private:
    QListWidget* folders_;
    QPushButton* open_;
    QPushButton* restart_;
    QPushButton* later_;
};

class OnboardingWindow final : public QWidget {
public:
    struct Setup {
        LangRoot::Setup lang;
        // The closed folders, in the order the check found them.
        std::vector<std::string> closed;
        OnboardingView::Actions actions;
    };

    explicit OnboardingWindow(Setup setup, QWidget* parent = nullptr);

    // "Welcome to <name>" in the interface language.
    static QString title();
    // Sets the title anew (a language change).
    void retitle();
    // Centres the window on the primary screen and shows it in front, without activating it.
    void present();

    // The current content (a language change replaces it).
    OnboardingView* view() const;

private:
    LangRoot* root_;
};

}  // namespace quorvanta::app
