#include "QuorvantaApp/ResultsTable/FileMetaProbes.h"

#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

namespace quorvanta::app::filemeta {

Probe probeFor(std::string_view ext) {
    if (ext.empty()) return Probe::none;
    const QString name = QStringLiteral("x.") + QString::fromUtf8(ext.data(), static_cast<qsizetype>(ext.size()));
    // QMimeDatabase is documented as safe to use from several threads at once.
    const QMimeDatabase db;
    for (const QMimeType& type : db.mimeTypesForFileName(name)) {
        const QString id = type.name();
        if (id.startsWith(QLatin1String("audio/"))) return Probe::audio;
        if (id.startsWith(QLatin1String("video/"))) return Probe::video;
        if (id.startsWith(QLatin1String("image/"))) return Probe::image;
        if (type.inherits(QStringLiteral("application/pdf"))) return Probe::pdf;
    }
    return Probe::none;
}

}  // namespace quorvanta::app::filemeta
