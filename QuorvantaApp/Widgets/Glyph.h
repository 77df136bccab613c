// The application's symbols: small monochrome pictures of our own, named as the stored
// preferences and the windows name them ("magnifyingglass", "externaldrive.badge.plus",
// "music.note", ...). Each is drawn in code with painter paths on a 24-unit grid, so it is sharp
// at any size and takes its colour (the tint) when it is painted. A name outside the set draws a
// neutral placeholder, never nothing, so a category with a symbol stored by another version still
// shows one.
//
// Threads: main thread (they paint with Qt's GUI types).
#pragma once

#include <QColor>
#include <QPixmap>
#include <QRectF>

#include <span>
#include <string_view>

class QPainter;

namespace quorvanta::app {

struct Glyph {
    Glyph() = delete;

    // The names of the set, sorted.
    static std::span<const std::string_view> names();
    static bool has(std::string_view name);

    // Paints `name` tinted `tint`, centred in the largest square that fits `area`.
    static void paint(QPainter& painter, const QRectF& area, std::string_view name, const QColor& tint);
    // `name` on a transparent square of `size` logical pixels.
    static QPixmap pixmap(std::string_view name, int size, const QColor& tint, qreal devicePixelRatio = 1.0);
};

}  // namespace quorvanta::app
