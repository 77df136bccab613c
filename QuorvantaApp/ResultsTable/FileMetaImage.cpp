#include "QuorvantaApp/ResultsTable/FileMetaProbes.h"

#include <QFile>
#include <QImageReader>
#include <QSize>

namespace quorvanta::app::filemeta {

Facts imageFacts(int fd) {
    Facts facts;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) return facts;
    QImageReader reader(&file);
    // The stored size: an orientation tag does not swap the sides.
    reader.setAutoTransform(false);
    // size() reads the header only; formats that cannot tell it without decoding give none.
    const QSize size = reader.size();
    if (size.isValid()) {
        facts.width = size.width();
        facts.height = size.height();
    }
    return facts;
}

}  // namespace quorvanta::app::filemeta
