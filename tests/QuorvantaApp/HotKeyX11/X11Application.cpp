#include "tests/QuorvantaApp/HotKeyX11/X11Application.h"

#include "tests/QuorvantaApp/HotKeyX11/XvfbServer.h"
#include "tests/support/RunProgram.h"

#include <QtGui/qguiapplication_platform.h>
#include <QtCore/QAbstractNativeEventFilter>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <stdexcept>

namespace quorvanta::test {

namespace {

// Counts the changes of WM_NAME on a window of the application's own. xdotool names that window
// after its key presses, in the same run, so when the change arrives the server has sent every
// event of the presses before it, and Qt, which handles its events in order, has handled them.
class Marker final : public QAbstractNativeEventFilter {
public:
    explicit Marker(xcb_connection_t* connection) : connection_(connection), window_(xcb_generate_id(connection)) {
        const auto* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection, 0, window_, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }
    ~Marker() override {
        xcb_destroy_window(connection_, window_);
        xcb_flush(connection_);
    }

    xcb_window_t window() const { return window_; }
    int changes() const { return changes_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (change->window == window_ && change->atom == XCB_ATOM_WM_NAME) ++changes_;
        return false;
    }

private:
    xcb_connection_t* connection_;
    xcb_window_t window_;
    int changes_ = 0;
};

class X11Environment final : public testing::Environment {
public:
    void SetUp() override {
        try {
            server_ = std::make_unique<XvfbServer>();
        } catch (const std::exception& error) {
            FAIL() << error.what();
        }
        setenv("DISPLAY", server_->display().c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        application_ = std::make_unique<QGuiApplication>(argc_, argv_);
        auto* x11 = application_->nativeInterface<QNativeInterface::QX11Application>();
        connection_ = x11 ? x11->connection() : nullptr;
        ASSERT_NE(connection_, nullptr) << "Qt has no X11 connection to " << server_->display();
        marker_ = std::make_unique<Marker>(connection_);
        QCoreApplication::instance()->installNativeEventFilter(marker_.get());
    }
    void TearDown() override {
        marker_.reset();
        application_.reset();
        server_.reset();
    }

    static X11Environment* instance;
    xcb_connection_t* connection_ = nullptr;
    std::unique_ptr<Marker> marker_;

private:
    int argc_ = 3;
    char name_[13] = "test_app_x11";
    char option_[10] = "-platform";
    char platform_[4] = "xcb";
    char* argv_[4] = {name_, option_, platform_, nullptr};
    std::unique_ptr<XvfbServer> server_;
    std::unique_ptr<QGuiApplication> application_;
};

X11Environment* X11Environment::instance =
    static_cast<X11Environment*>(testing::AddGlobalTestEnvironment(new X11Environment));

}  // namespace

xcb_connection_t* applicationConnection() { return X11Environment::instance->connection_; }

bool processEventsUntil(const std::function<bool()>& done, int limitMs) {
    const QDeadlineTimer deadline(limitMs);
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired()) loop.quit();
    });
    check.start(10);
    if (!done()) loop.exec();
    return done();
}

bool pressKeys(const std::vector<std::string>& keys) {
    static const auto xdotool = programOnPath("xdotool");
    if (xdotool.empty()) {
        std::cerr << "xdotool is missing (Debian package xdotool; run scripts/install-deps)\n";
        return false;
    }
    auto& marker = *X11Environment::instance->marker_;
    const int before = marker.changes();
    std::vector<std::string> args;
    if (!keys.empty()) {
        args.push_back("key");
        args.insert(args.end(), keys.begin(), keys.end());
    }
    args.insert(args.end(),
                {"set_window", "--name", "pressed " + std::to_string(before + 1), std::to_string(marker.window())});
    RunOptions options;
    options.killAfter = std::chrono::seconds(15);
    const auto run = runProgram(xdotool, args, options);
    if (run.status != 0 || run.timedOut) {
        std::cerr << "xdotool " << (keys.empty() ? "set_window" : keys.front()) << " …: status " << run.status << ", "
                  << run.err << "\n";
        return false;
    }
    if (processEventsUntil([&] { return marker.changes() > before; })) return true;
    std::cerr << "the key presses did not reach the application within 15 s\n";
    return false;
}

bool catchUp() { return pressKeys({}); }

}  // namespace quorvanta::test
