// The fonts the windows are designed with, named by their size in a design whose body text is
// 13 points, and scaled to the desktop's own text size: Fonts::system(12) is a little smaller
// than the desktop's text and Fonts::system(15) a little larger, whatever size the user set.
//
// Threads: main thread; a QGuiApplication must exist.
#pragma once

#include <QFont>

namespace quorvanta::app {

struct Fonts {
    Fonts() = delete;

    // The body text size of the design.
    static constexpr qreal kDesignBodySize = 13;

    static QFont system(qreal size, QFont::Weight weight = QFont::Normal);
    // The desktop's fixed-width font at the same scale.
    static QFont monospaced(qreal size, QFont::Weight weight = QFont::Normal);
};

}  // namespace quorvanta::app
