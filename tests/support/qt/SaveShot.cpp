#include "tests/support/qt/SaveShot.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace quorvanta::test {

std::filesystem::path saveShot(QWidget& widget, std::string_view name) {
    const char* override = std::getenv("QV_SHOTS");
    const std::filesystem::path folder = override && *override ? override : QUORVANTA_SHOTS_DIR;
    std::filesystem::create_directories(folder);
    const auto file = folder / (std::string(name) + ".png");
    if (!widget.grab().save(QString::fromStdString(file.string()), "PNG"))
        throw std::runtime_error("cannot write " + file.string());
    return file;
}

}  // namespace quorvanta::test
