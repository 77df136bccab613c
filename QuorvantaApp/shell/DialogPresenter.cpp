#include "QuorvantaApp/shell/DialogPresenter.h"

#include "QuorvantaCore/lang/Tr.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include <algorithm>
#include <stdexcept>

namespace quorvanta::app {

std::vector<std::string> Alert::titles() const {
    if (buttons.empty()) return {core::tr("OK")};
    return buttons;
}

std::size_t Alert::cancelIndex() const {
    const std::size_t count = titles().size();
    return std::min(cancel.value_or(count - 1), count - 1);
}

namespace {

QMessageBox::Icon iconOf(Alert::Style style) {
    switch (style) {
        case Alert::Style::informational:
            return QMessageBox::Information;
        case Alert::Style::warning:
            return QMessageBox::Warning;
        case Alert::Style::critical:
            return QMessageBox::Critical;
    }
    return QMessageBox::Warning;
}

}  // namespace

std::size_t QtDialogs::alert(const Alert& alert, QWidget* parent) {
    QMessageBox box(parent);
    box.setIcon(iconOf(alert.style));
    box.setText(QString::fromStdString(alert.message));
    box.setInformativeText(QString::fromStdString(alert.informative));
    std::vector<QPushButton*> buttons;
    // One role for all, so the buttons keep the caller's order on every desktop's button layout.
    for (const std::string& title : alert.titles())
        buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::ActionRole));
    box.setDefaultButton(buttons.front());
    box.setEscapeButton(buttons[alert.cancelIndex()]);
    box.exec();
    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return chosen == buttons.end() ? alert.cancelIndex() : static_cast<std::size_t>(chosen - buttons.begin());
}

std::size_t ScriptedDialogs::alert(const Alert& alert, QWidget*) {
    shown.push_back(alert);
    if (answers.empty()) throw std::logic_error("no answer scripted for the alert \"" + alert.message + "\"");
    const std::size_t answer = answers.front();
    answers.pop_front();
    if (answer >= alert.titles().size())
        throw std::logic_error("the scripted answer " + std::to_string(answer) + " names no button of \"" +
                               alert.message + "\"");
    return answer;
}

}  // namespace quorvanta::app
