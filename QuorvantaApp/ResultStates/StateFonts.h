// The text styles of the result-area states, in the design's sizes (Fonts.h): the headline, the
// title and the callout, and the size of each state's symbol.
//
// Threads: main thread; a QGuiApplication must exist.
#pragma once

#include "QuorvantaApp/Widgets/Fonts.h"

namespace quorvanta::app::state_fonts {

inline QFont headline() { return Fonts::system(13, QFont::Bold); }
inline QFont title() { return Fonts::system(15, QFont::Medium); }
inline QFont callout() { return Fonts::system(12); }
inline QFont body() { return Fonts::system(Fonts::kDesignBodySize); }
// A symbol drawn as large as a line of the system font at `size`.
inline QFont symbol(qreal size, QFont::Weight weight = QFont::Normal) { return Fonts::system(size, weight); }

}  // namespace quorvanta::app::state_fonts
