#include "QuorvantaApp/shell/AppDelegate.h"

#include <utility>

namespace quorvanta::app {

AppDelegate::AppDelegate(Setup setup, QObject* parent)
    : QObject(parent),
      model_(std::move(setup.model)),
      host_(setup.host),
      prefs_(setup.prefs),
      rootsForced_(setup.rootsForced),
      quit_(model_, setup.host, setup.main, std::move(setup.end)) {}

AppDelegate::~AppDelegate() = default;

void AppDelegate::launch() {
    if (launched_) return;
    launched_ = true;
    host_.model = model_;
    host_.apply();
    startIndexing();
}

void AppDelegate::startIndexing() {
    if (prefs_.configured() || rootsForced_)
        model_->startScans();
    else
        Q_EMIT sourceChooserRequested();
}

bool AppDelegate::quit() { return quit_.request(); }

void AppDelegate::reopen() { Q_EMIT panelRequested(); }

}  // namespace quorvanta::app
