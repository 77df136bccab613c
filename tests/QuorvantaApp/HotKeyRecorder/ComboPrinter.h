// Readable hot-key combinations and problems in test failures: "(49, 768, Space)", "reserved".
#pragma once

#include "QuorvantaApp/HotKeyRecorder/HotKeyCombo.h"

#include <ostream>

namespace quorvanta::app {

inline void PrintTo(const HotKeyCombo& combo, std::ostream* out) {
    *out << "(" << combo.keyCode << ", " << combo.modifiers << ", " << combo.key << ")";
}

inline void PrintTo(HotKeyCombo::Problem problem, std::ostream* out) {
    *out << (problem == HotKeyCombo::Problem::needsModifier ? "needsModifier" : "reserved");
}

}  // namespace quorvanta::app
