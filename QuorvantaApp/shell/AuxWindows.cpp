#include "QuorvantaApp/shell/AuxWindows.h"

#include "QuorvantaApp/Widgets/LangRoot.h"
#include "QuorvantaCore/lang/Tr.h"
#include "QuorvantaCore/util/AppInfo.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

#include <string>
#include <string_view>

namespace quorvanta::app {

namespace {

using core::trNoop;

struct WindowSpec {
    std::string_view title;  // the key for core::tr; "%@" takes the application's name
    bool resizable = false;
    bool minimizable = false;
};

WindowSpec specOf(AuxWindow window) {
    switch (window) {
        case AuxWindow::settings:
            return {trNoop("%@ Settings")};
        case AuxWindow::duplicates:
            return {trNoop("Find duplicates"), true, true};
        case AuxWindow::junkReport:
            return {trNoop("Drive clean-up report"), true};
        case AuxWindow::syntax:
            return {trNoop("Search Syntax")};
        case AuxWindow::chooser:
            return {trNoop("Choose drives and folders")};
    }
    return {};
}

std::size_t slot(AuxWindow window) { return static_cast<std::size_t>(window); }

QString titleOf(AuxWindow window) {
    const std::string_view key = specOf(window).title;
    const std::string title =
        key.find("%@") != std::string_view::npos ? core::tr(key, core::AppInfo::name()) : core::tr(key);
    return QString::fromStdString(title);
}

}  // namespace

AuxWindows::AuxWindows(Setup setup) : setup_(std::move(setup)) {}

AuxWindows::~AuxWindows() = default;

bool AuxWindows::available(AuxWindow window) const { return setup_.registry.content(window) != nullptr; }

QWidget* AuxWindows::window(AuxWindow window) const { return windows_[slot(window)].get(); }

void AuxWindows::show(AuxWindow which) {
    const AuxWindowContent* content = setup_.registry.content(which);
    if (!content) return;
    auto& window = windows_[slot(which)];
    if (which == AuxWindow::chooser) {
        if (window && window->isVisible()) {
            window->raise();
            window->activateWindow();
            return;
        }
        if (window) window.release()->deleteLater();
        window = make(which, *content);
    } else if (!window) {
        window = make(which, *content);
    } else if (content->shownAgain) {
        content->shownAgain(setup_.model);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void AuxWindows::retitle() {
    for (const AuxWindow which :
         {AuxWindow::chooser, AuxWindow::duplicates, AuxWindow::junkReport, AuxWindow::syntax, AuxWindow::settings})
        if (const auto& window = windows_[slot(which)]) window->setWindowTitle(titleOf(which));
}

std::unique_ptr<QWidget> AuxWindows::make(AuxWindow which, const AuxWindowContent& content) {
    const WindowSpec spec = specOf(which);
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (spec.minimizable) flags |= Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
    if (which == AuxWindow::chooser) flags |= Qt::WindowStaysOnTopHint;
    auto window = std::make_unique<QWidget>(nullptr, flags);
    window->setWindowTitle(titleOf(which));

    AuxWindowContext context{setup_.model, {}, {}};
    if (which == AuxWindow::settings) context.onHotkey = setup_.onHotkey;
    if (which == AuxWindow::chooser)
        context.done = [closing = QPointer<QWidget>(window.get())] {
            if (closing) closing->close();
        };
    auto* root = new LangRoot({setup_.lang, setup_.notifications, setup_.mainQueue},
                              [make = content.make, context] { return make(context); });
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(root);
    // A window that is not resizable keeps its content's size.
    if (!spec.resizable) layout->setSizeConstraint(QLayout::SetFixedSize);
    window->adjustSize();

    QRect frame(QPoint(0, 0), window->size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
    return window;
}

}  // namespace quorvanta::app
