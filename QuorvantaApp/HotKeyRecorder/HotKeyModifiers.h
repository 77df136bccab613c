// The modifier keys of a hot key in their three encodings: the Carbon mask the combination is
// stored in, Qt's keyboard modifiers (a key press in the recorder) and the X11 modifier mask (the
// global grab). The mapping is Qt's own cross-platform one:
//
//   Carbon          Qt                label  X11
//   command  256    ControlModifier   Ctrl   ControlMask
//   option  2048    AltModifier       Alt    the modifier that holds Alt_L (normally Mod1)
//   shift    512    ShiftModifier     Shift  ShiftMask
//   control 4096    MetaModifier      Super  the modifier that holds Super_L (normally Mod4)
//
// Which X11 modifier holds Alt and Super is the server's choice: the caller reads it from the
// server's modifier map and passes it in. Pure functions; any thread.
#pragma once

#include <xcb/xproto.h>

#include <QtCore/qnamespace.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvanta::app::hotkey {

// Carbon modifier bits.
inline constexpr std::uint32_t kCommand = 0x100;
inline constexpr std::uint32_t kShift = 0x200;
inline constexpr std::uint32_t kOption = 0x800;
inline constexpr std::uint32_t kControl = 0x1000;
// The bits of which a hot key needs at least one: shift alone does not make a shortcut.
inline constexpr std::uint32_t kNonShiftModifiers = kCommand | kOption | kControl;

struct ModifierKey {
    std::uint32_t carbon;
    Qt::KeyboardModifier qt;
    std::string_view label;  // as Linux keyboards print it; never translated
};

// The four modifiers in the order a combination's title names them.
inline constexpr std::array<ModifierKey, 4> kModifierKeys{{
    {kCommand, Qt::ControlModifier, "Ctrl"},
    {kOption, Qt::AltModifier, "Alt"},
    {kShift, Qt::ShiftModifier, "Shift"},
    {kControl, Qt::MetaModifier, "Super"},
}};

// The Carbon mask of Qt's modifiers. Other Qt modifiers (keypad, group switch) add nothing.
std::uint32_t carbonMaskFromQt(Qt::KeyboardModifiers modifiers);

// The X11 modifiers that hold Alt and Super on one server; 0 when the server has none.
struct X11ModifierMasks {
    std::uint16_t alt = XCB_MOD_MASK_1;
    std::uint16_t super = XCB_MOD_MASK_4;
};

// The X11 mask for a Carbon mask, or none when it cannot be expressed on this server: a bit
// outside the four modifiers, or Alt or Super asked for while the server has no such modifier.
std::optional<std::uint16_t> x11MaskFromCarbon(std::uint32_t carbon, X11ModifierMasks server = {});

// The Carbon mask of an X11 key event's state. Lock, NumLock and every other bit are ignored.
std::uint32_t carbonMaskFromX11(std::uint16_t state, X11ModifierMasks server = {});

}  // namespace quorvanta::app::hotkey
