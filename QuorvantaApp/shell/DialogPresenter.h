// Alerts for every window: a message, an informative text and buttons, shown modally; the answer
// is the button the user chose. The texts arrive as the user reads them (through core::tr at the
// caller); an alert without buttons gets one, core::tr("OK"). The first button is the default
// (Return); Escape chooses the cancel button, the last one unless the alert names another, and an
// alert closed without a choice counts as that button too.
//
// QtDialogs shows a QMessageBox; ScriptedDialogs stands in for tests, answering from a script and
// keeping what it was shown.
//
// Threads: main thread.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace quorvanta::app {

struct Alert {
    enum class Style { informational, warning, critical };

    Style style = Style::warning;
    std::string message;
    std::string informative;
    std::vector<std::string> buttons;
    std::optional<std::size_t> cancel;  // none: the last button

    // The titles shown: the buttons, or core::tr("OK") alone when there are none.
    std::vector<std::string> titles() const;
    // The index Escape chooses among titles().
    std::size_t cancelIndex() const;
};

class DialogPresenter {
public:
    virtual ~DialogPresenter() = default;
    // Shows `alert` over `parent` (none: over no window) and returns the index of the chosen button
    // among alert.titles().
    virtual std::size_t alert(const Alert& alert, QWidget* parent = nullptr) = 0;
};

class QtDialogs final : public DialogPresenter {
public:
    std::size_t alert(const Alert& alert, QWidget* parent = nullptr) override;
};

class ScriptedDialogs final : public DialogPresenter {
public:
    // Records the alert and answers with the next scripted index. Throws std::logic_error when the
    // script is used up or names a button the alert does not have, so a test learns of an alert it
    // did not expect.
    std::size_t alert(const Alert& alert, QWidget* parent = nullptr) override;

    std::deque<std::size_t> answers;  // the next answers, in order
    std::vector<Alert> shown;         // every alert, in order
};

}  // namespace quorvanta::app
