#include "QuorvantaApp/ResultsTable/FileType.h"

#include "QuorvantaCore/json/UTF8Repair.h"

#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

namespace quorvanta::app {
namespace {

QString qtText(std::string_view bytes) {
    const std::string text = core::repairUTF8(bytes);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

FileType fileTypeOf(std::string_view ext) {
    const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(QStringLiteral("x.") + qtText(ext), QMimeDatabase::MatchExtension);
    FileType result;
    if (const QString comment = type.comment(); !type.isDefault() && !comment.isEmpty())
        result.description = comment.toStdString();
    result.icon = type.iconName().toStdString();
    result.genericIcon = type.genericIconName().toStdString();
    return result;
}

std::string upperExtension(std::string_view ext) { return qtText(ext).toUpper().toStdString(); }

}  // namespace quorvanta::app
