// Alerts: the Qt presenter shows the texts and the buttons in the caller's order and answers with
// the button chosen by click, Return or Escape; the scripted one answers from its script and
// refuses an alert it was not told about.
#include "QuorvantaApp/shell/DialogPresenter.h"

#include "tests/support/LanguageScope.h"
#include "tests/support/qt/SaveShot.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

// What the user saw of an alert: its texts, and its button titles from left to right.
struct Seen {
    std::string message;
    std::string informative;
    std::vector<std::string> buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Shows `alert` with QtDialogs; once it is on screen, notes what it shows and hands it to `act`.
std::size_t present(const Alert& alert, Seen& seen, const std::function<void(QMessageBox&)>& act) {
    std::function<void()> look;
    look = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            QTimer::singleShot(1, look);
            return;
        }
        seen.message = box->text().toStdString();
        seen.informative = box->informativeText().toStdString();
        seen.icon = box->icon();
        auto buttons = box->findChildren<QPushButton*>();
        std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
        for (auto* button : buttons) seen.buttons.push_back(button->text().toStdString());
        act(*box);
    };
    QTimer::singleShot(0, look);
    QtDialogs dialogs;
    return dialogs.alert(alert);
}

std::function<void(QMessageBox&)> click(const std::string& title) {
    return [title](QMessageBox& box) {
        for (auto* button : box.findChildren<QPushButton*>())
            if (button->text().toStdString() == title) button->click();
    };
}

std::function<void(QMessageBox&)> press(Qt::Key key) {
    return [key](QMessageBox& box) { QTest::keyClick(&box, key); };
}

TEST(DialogPresenter, ShowsTheTextsAndButtonsInOrderAndAnswersWithTheChoice) {
    const std::vector<std::string> trash{"Move to Trash", "Cancel"};
    struct Case {
        std::vector<std::string> buttons;
        std::optional<std::size_t> cancel;
        std::function<void(QMessageBox&)> act;
        std::size_t answer;
    };
    const Case cases[] = {
        {trash, std::nullopt, click("Move to Trash"), 0},
        {trash, std::nullopt, click("Cancel"), 1},
        {trash, std::nullopt, press(Qt::Key_Return), 0},  // the first is the default
        {trash, std::nullopt, press(Qt::Key_Escape), 1},  // the last cancels
        {{"Keep", "Replace", "Stop"}, 0, press(Qt::Key_Escape), 0},
        {{"Keep", "Replace", "Stop"}, std::nullopt, click("Replace"), 1},
    };
    for (const Case& c : cases) {
        Alert alert;
        alert.message = "Move “a.txt” to the Trash?";
        alert.informative = "You can put it back from the Trash.";
        alert.buttons = c.buttons;
        alert.cancel = c.cancel;
        Seen seen;
        EXPECT_EQ(present(alert, seen, c.act), c.answer) << c.buttons.front() << ", answer " << c.answer;
        EXPECT_EQ(seen.buttons, c.buttons);
        EXPECT_EQ(seen.message, alert.message);
        EXPECT_EQ(seen.informative, alert.informative);
        EXPECT_EQ(seen.icon, QMessageBox::Warning);
    }
}

TEST(DialogPresenter, AnAlertWithoutButtonsHasOneOKInTheUsersLanguage) {
    quorvanta::test::LanguageScope spanish("es");
    Alert alert;
    alert.style = Alert::Style::critical;
    alert.message = "The index could not be saved.";
    Seen seen;
    bool shot = false;
    EXPECT_EQ(present(alert, seen,
                      [&](QMessageBox& box) {
                          shot = !quorvanta::test::saveShot(box, "alert_without_buttons").empty();
                          QTest::keyClick(&box, Qt::Key_Escape);
                      }),
              0u);
    EXPECT_EQ(seen.buttons, std::vector<std::string>{"Aceptar"});
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_TRUE(shot);
}

TEST(DialogPresenter, TheScriptedPresenterAnswersInOrderAndRefusesTheUnexpected) {
    ScriptedDialogs dialogs;
    dialogs.answers = {1, 0, 5};
    Alert two;
    two.message = "two buttons";
    two.buttons = {"Yes", "No"};
    EXPECT_EQ(dialogs.alert(two), 1u);
    EXPECT_EQ(dialogs.alert(two), 0u);
    EXPECT_THROW(dialogs.alert(two), std::logic_error) << "an answer naming no button";
    EXPECT_THROW(dialogs.alert(two), std::logic_error) << "an alert beyond the script";
    ASSERT_EQ(dialogs.shown.size(), 4u);
    EXPECT_EQ(dialogs.shown[0].message, "two buttons");
}

}  // namespace
}  // namespace quorvanta::app
