// Covers the results when no drive or folder is set up to be searched: a drive with a question
// mark, "Nothing selected to search yet", a line on what to do and the button that asks the
// application to open the source chooser (it posts kShowSourceChooser on the standard
// notification centre, nothing attached). The button is the window's default button: Return
// anywhere in the window presses it while the view is shown.
//
// Threads: main thread.
#pragma once

#include <QWidget>

class QPushButton;

namespace quorvanta::app {

class EmptySources final : public QWidget {
public:
    static constexpr int kSpacing = 10;
    static constexpr int kPadding = 30;

    explicit EmptySources(QWidget* parent = nullptr);

    // For the tests: the button.
    QPushButton* chooseButton() const { return choose_; }

private:
    QPushButton* choose_;
};

}  // namespace quorvanta::app
