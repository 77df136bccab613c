#include "QuorvantaApp/shell/QtDesktop.h"

#include "QuorvantaApp/shell/AppDelegate.h"
#include "QuorvantaApp/shell/QtApplication.h"

#include <QApplication>
#include <QPointer>

#include <cstdio>
#include <utility>

namespace quorvanta::app {

QtDesktop::QtDesktop(Setup setup) : setup_(std::move(setup)) {}

QtDesktop::~QtDesktop() = default;

DesktopRunner QtDesktop::runner() {
    DesktopRunner runner;
    runner.prepare = [this] { return prepare(); };
    runner.run = [this](const std::shared_ptr<AppModel>& model) { return run(model); };
    runner.reopen = [this] {
        if (delegate_) delegate_->reopen();
    };
    runner.claimed = [this](SingleInstance& instance) { instance_ = &instance; };
    return runner;
}

DesktopStart QtDesktop::prepare() {
    if (const auto problem = missingDisplay(DisplayEnvironment::ofProcess())) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return {nullptr, 1};
    }
    if (!QCoreApplication::instance()) application_ = std::make_unique<QApplication>(setup_.argc, setup_.argv);
    configureApplication();
    queue_ = std::make_unique<QtMainQueue>();
    return {queue_.get(), 0};
}

int QtDesktop::run(const std::shared_ptr<AppModel>& model) {
    Relaunch relaunch;
    relaunch.arguments = setup_.arguments;
    relaunch.stopListening = [this] {
        if (instance_) instance_->stopListening();
    };
    AppDelegate delegate({model, setup_.host ? *setup_.host : LocalAPIHost::shared(),
                          setup_.prefs ? *setup_.prefs : Prefs::shared(), *queue_, setup_.end, setup_.rootsForced,
                          setup_.shell ? setup_.shell : AppDelegate::Shell::application(), nullptr,
                          std::move(relaunch)});
    delegate_ = &delegate;
    if (setup_.terminationSignals)
        setup_.terminationSignals->start(*queue_, [guard = QPointer<AppDelegate>(&delegate)] {
            if (guard) guard->quit();
        });
    delegate.launch();
    QApplication::exec();
    delegate.quit();
    delegate_ = nullptr;
    return 0;
}

}  // namespace quorvanta::app
