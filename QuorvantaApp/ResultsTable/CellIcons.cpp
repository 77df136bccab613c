#include "QuorvantaApp/ResultsTable/CellIcons.h"

#include "QuorvantaApp/Widgets/Glyph.h"

#include <QPainter>

namespace quorvanta::app {

bool CellIcons::isGlyph(const std::string& key) {
    return key == "internaldrive" || key == "externaldrive" || key == "externaldrive.badge.xmark";
}

const std::optional<QIcon>& CellIcons::themeIcon(const std::string& key, const std::string& fallbackKey) {
    const std::string cacheKey = key + "\n" + fallbackKey;
    auto found = cache_.find(cacheKey);
    if (found != cache_.end()) return found->second;
    std::optional<QIcon> icon;
    for (const std::string* name : {&key, &fallbackKey}) {
        if (name->empty()) continue;
        QIcon candidate = QIcon::fromTheme(QString::fromStdString(*name));
        if (!candidate.isNull()) {
            icon = std::move(candidate);
            break;
        }
    }
    return cache_.emplace(cacheKey, std::move(icon)).first->second;
}

void CellIcons::paint(QPainter& painter, const QRectF& area, const std::string& key, const std::string& fallbackKey,
                      const QColor& tint) {
    if (isGlyph(key)) {
        Glyph::paint(painter, area, key, tint);
        return;
    }
    if (const auto& icon = themeIcon(key, fallbackKey)) {
        icon->paint(&painter, area.toAlignedRect());
        return;
    }
    Glyph::paint(painter, area, key == "folder" ? "folder" : "doc.text", tint);
}

}  // namespace quorvanta::app
