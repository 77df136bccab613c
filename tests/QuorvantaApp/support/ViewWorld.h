// What the widget tests of the search window's parts share: an application model over configured
// drives whose published volume fields the test sets, and a host window in a chosen appearance and
// width that shows one view. Include it before any Qt header (the model's signals have an emit
// member, which Qt's keyword macro rewrites).
#pragma once

#include "tests/QuorvantaApp/model/app/ModelTestSupport.h"

#include "QuorvantaApp/Theme/Theme.h"
#include "tests/support/qt/PostedEvents.h"

#include <QVBoxLayout>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace quorvanta::app::test {

// What follows a publish: the views redraw one turn of the event loop later, and their layouts
// settle on the turn after that.
inline void showChanges() {
    quorvanta::test::runPostedEvents();
    quorvanta::test::runPostedEvents();
}

struct DriveSpec {
    std::string name;
    std::string root;
    bool isInternal = false;
};

// A model over configured drives (whole volumes, all enabled, none scanning), in their order.
inline std::shared_ptr<AppModel> makeModel(ModelWorld& world, const std::vector<DriveSpec>& drives) {
    SourceMap sources;
    for (const auto& d : drives) {
        world.drives->list.push_back(Candidate{d.root, d.name, d.root, "", d.isInternal, false});
        SourceConfig config;
        config.enabled = true;
        config.whole = true;
        sources[d.root] = config;
    }
    world.prefs.setSources(sources);
    world.prefs.setConfigured(true);
    auto model = world.make({}, false);
    for (const auto& volume : model->volumes.get()) volume->scanning.set(false);
    return model;
}

// A window that shows `view` over its whole area, `width` × `height`, in `appearance`.
class Host {
public:
    Host(QWidget* view, int width, int height, Appearance appearance = Appearance::light) {
        window.setPalette(Theme::palette(appearance));
        window.setAutoFillBackground(true);
        auto* column = new QVBoxLayout(&window);
        column->setContentsMargins(0, 0, 0, 0);
        column->addWidget(view);
        window.resize(width, height);
        window.show();
        showChanges();
    }

    void resize(int width) {
        window.resize(width, window.height());
        showChanges();
    }

    QWidget window;
};

}  // namespace quorvanta::app::test
