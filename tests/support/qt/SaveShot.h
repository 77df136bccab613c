// Pictures of widgets for looking at by eye: saveShot grabs a widget (QWidget::grab, which renders
// it also under the offscreen platform) and writes it as shots/<name>.png in the build's top
// folder, or in the folder QV_SHOTS names. The pictures are never compared by the tests.
#pragma once

#include <filesystem>
#include <string_view>

class QWidget;

namespace quorvanta::test {

// The file written; throws std::runtime_error when it cannot be written.
std::filesystem::path saveShot(QWidget& widget, std::string_view name);

}  // namespace quorvanta::test
