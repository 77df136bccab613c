#include "QuorvantaApp/HotKeyRecorder/HotKeyKeys.h"

#include <X11/keysym.h>

#include <QtCore/qnamespace.h>

#include <algorithm>
#include <array>

namespace quorvanta::app::hotkey {

namespace {

using namespace Qt;

// One row per key. Return, Tab, Space, the function keys and the arrows keep the names the stored
// combinations have always used; Home, End, Page Up and Page Down, for which Qt reports no
// character, are named as Linux keyboards label them.
constexpr std::array kKeys = std::to_array<HotKeyKey>({
    // Letters.
    {0, Key_A, 0, XK_a, ""},
    {11, Key_B, 0, XK_b, ""},
    {8, Key_C, 0, XK_c, ""},
    {2, Key_D, 0, XK_d, ""},
    {14, Key_E, 0, XK_e, ""},
    {3, Key_F, 0, XK_f, ""},
    {5, Key_G, 0, XK_g, ""},
    {4, Key_H, 0, XK_h, ""},
    {34, Key_I, 0, XK_i, ""},
    {38, Key_J, 0, XK_j, ""},
    {40, Key_K, 0, XK_k, ""},
    {37, Key_L, 0, XK_l, ""},
    {46, Key_M, 0, XK_m, ""},
    {45, Key_N, 0, XK_n, ""},
    {31, Key_O, 0, XK_o, ""},
    {35, Key_P, 0, XK_p, ""},
    {12, Key_Q, 0, XK_q, ""},
    {15, Key_R, 0, XK_r, ""},
    {1, Key_S, 0, XK_s, ""},
    {17, Key_T, 0, XK_t, ""},
    {32, Key_U, 0, XK_u, ""},
    {9, Key_V, 0, XK_v, ""},
    {13, Key_W, 0, XK_w, ""},
    {7, Key_X, 0, XK_x, ""},
    {16, Key_Y, 0, XK_y, ""},
    {6, Key_Z, 0, XK_z, ""},
    // Digits, with the symbols Shift gives.
    {29, Key_0, Key_ParenRight, XK_0, ""},
    {18, Key_1, Key_Exclam, XK_1, ""},
    {19, Key_2, Key_At, XK_2, ""},
    {20, Key_3, Key_NumberSign, XK_3, ""},
    {21, Key_4, Key_Dollar, XK_4, ""},
    {23, Key_5, Key_Percent, XK_5, ""},
    {22, Key_6, Key_AsciiCircum, XK_6, ""},
    {26, Key_7, Key_Ampersand, XK_7, ""},
    {28, Key_8, Key_Asterisk, XK_8, ""},
    {25, Key_9, Key_ParenLeft, XK_9, ""},
    // Punctuation.
    {27, Key_Minus, Key_Underscore, XK_minus, ""},
    {24, Key_Equal, Key_Plus, XK_equal, ""},
    {33, Key_BracketLeft, Key_BraceLeft, XK_bracketleft, ""},
    {30, Key_BracketRight, Key_BraceRight, XK_bracketright, ""},
    {42, Key_Backslash, Key_Bar, XK_backslash, ""},
    {41, Key_Semicolon, Key_Colon, XK_semicolon, ""},
    {39, Key_Apostrophe, Key_QuoteDbl, XK_apostrophe, ""},
    {43, Key_Comma, Key_Less, XK_comma, ""},
    {47, Key_Period, Key_Greater, XK_period, ""},
    {44, Key_Slash, Key_Question, XK_slash, ""},
    {50, Key_QuoteLeft, Key_AsciiTilde, XK_grave, ""},
    // Editing and whitespace. Backspace, Escape, keypad Enter and Delete have no name.
    {36, Key_Return, 0, XK_Return, "↩"},
    {48, Key_Tab, Key_Backtab, XK_Tab, "⇥"},
    {49, Key_Space, 0, XK_space, "Space"},
    {51, Key_Backspace, 0, XK_BackSpace, ""},
    {53, Key_Escape, 0, XK_Escape, ""},
    {76, Key_Enter, 0, XK_KP_Enter, ""},
    {117, Key_Delete, 0, XK_Delete, ""},
    // Function keys.
    {122, Key_F1, 0, XK_F1, "F1"},
    {120, Key_F2, 0, XK_F2, "F2"},
    {99, Key_F3, 0, XK_F3, "F3"},
    {118, Key_F4, 0, XK_F4, "F4"},
    {96, Key_F5, 0, XK_F5, "F5"},
    {97, Key_F6, 0, XK_F6, "F6"},
    {98, Key_F7, 0, XK_F7, "F7"},
    {100, Key_F8, 0, XK_F8, "F8"},
    {101, Key_F9, 0, XK_F9, "F9"},
    {109, Key_F10, 0, XK_F10, "F10"},
    {103, Key_F11, 0, XK_F11, "F11"},
    {111, Key_F12, 0, XK_F12, "F12"},
    // Navigation.
    {115, Key_Home, 0, XK_Home, "Home"},
    {119, Key_End, 0, XK_End, "End"},
    {116, Key_PageUp, 0, XK_Page_Up, "Page Up"},
    {121, Key_PageDown, 0, XK_Page_Down, "Page Down"},
    {123, Key_Left, 0, XK_Left, "←"},
    {124, Key_Right, 0, XK_Right, "→"},
    {125, Key_Down, 0, XK_Down, "↓"},
    {126, Key_Up, 0, XK_Up, "↑"},
});

}  // namespace

std::span<const HotKeyKey> hotKeyKeys() { return kKeys; }

const HotKeyKey* keyWithCode(std::uint32_t keyCode) {
    const auto found = std::ranges::find(kKeys, keyCode, &HotKeyKey::keyCode);
    return found == kKeys.end() ? nullptr : &*found;
}

const HotKeyKey* keyWithQtKey(int qtKey) {
    if (qtKey == 0) return nullptr;  // 0 marks "no shifted key" in the table
    const auto found = std::ranges::find_if(
        kKeys, [qtKey](const HotKeyKey& key) { return key.qtKey == qtKey || key.shiftedQtKey == qtKey; });
    return found == kKeys.end() ? nullptr : &*found;
}

std::optional<std::uint32_t> keysymForKeyCode(std::uint32_t keyCode) {
    const auto* key = keyWithCode(keyCode);
    if (!key) return std::nullopt;
    return key->keysym;
}

}  // namespace quorvanta::app::hotkey
