// The icons of result cells, resolved from a cell's icon keys (CellContent): a file type's icon
// from the desktop's icon theme, its generic icon when the theme lacks the first, and our own
// glyph ("folder", else "doc.text") when the theme has neither, so that a row never shows a hole.
// The drive symbols are our glyphs. Theme lookups are cached per key pair; the glyphs are drawn at
// paint time in the tint asked for, so they follow the appearance.
//
// Threads: main thread (QIcon and painting).
#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>

#include <optional>
#include <string>
#include <unordered_map>

class QPainter;

namespace quorvanta::app {

class CellIcons {
public:
    // Paints the icon of `key` (with `fallbackKey` as its generic stand-in) into `area`; a glyph
    // is tinted `tint`.
    void paint(QPainter& painter, const QRectF& area, const std::string& key, const std::string& fallbackKey,
               const QColor& tint);

    // Whether a key names one of our glyphs rather than a theme icon.
    static bool isGlyph(const std::string& key);

private:
    // The theme's icon for the pair, or none when the theme has neither.
    const std::optional<QIcon>& themeIcon(const std::string& key, const std::string& fallbackKey);

    std::unordered_map<std::string, std::optional<QIcon>> cache_;  // by key, "\n", fallback key
};

}  // namespace quorvanta::app
