// Stands in for the results when a valid search found nothing: a folder with a question mark and
// "No hits". It keeps no state.
//
// Threads: main thread.
#pragma once

#include <QWidget>

namespace quorvanta::app {

class NoHitsState final : public QWidget {
public:
    static constexpr int kSpacing = 8;

    explicit NoHitsState(QWidget* parent = nullptr);
};

}  // namespace quorvanta::app
