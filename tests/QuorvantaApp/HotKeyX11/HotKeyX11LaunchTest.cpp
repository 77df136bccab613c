// The built application on the private X server, driven as a user drives it: it comes up with its
// panel, and Ctrl+Shift+Space, the hot key it registered at launch, hides the panel and brings it
// back with an activation request that carries the press's time.
#include "tests/QuorvantaApp/HotKeyX11/OtherClient.h"
#include "tests/QuorvantaApp/HotKeyX11/XvfbServer.h"
#include "tests/support/AppRun.h"
#include "tests/support/PollFor.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvanta::app {
namespace {

using test::AppRun;
using test::OtherClient;
using test::pollFor;

const std::filesystem::path kApp = QUORVANTA_APP_PATH;
const std::filesystem::path kCli = QUORVANTA_CLI_PATH;

// Presses keys with xdotool on the X server the test program runs on (DISPLAY).
bool press(const std::string& keys) {
    const auto xdotool = test::programOnPath("xdotool");
    if (xdotool.empty()) {
        ADD_FAILURE() << "xdotool is missing (Debian package xdotool; run scripts/install-deps)";
        return false;
    }
    const auto run = test::runProgram(xdotool, {"key", keys});
    if (run.status != 0) ADD_FAILURE() << "xdotool key " << keys << ": " << run.err;
    return run.status == 0;
}

TEST(HotKeyX11Launch, CtrlShiftSpaceHidesThePanelAndASecondPressShowsItAgain) {
    test::TempDir tree;
    tree.write("notes/plan.txt", "plan");
    tree.write("song.mp3", "not really");
    OtherClient x11;
    x11.watchRoot();

    test::RunOptions options;
    options.env = {{"QT_QPA_PLATFORM", "xcb"}};
    options.unset = {"WAYLAND_DISPLAY"};
    AppRun app(kApp, kCli, nlohmann::json::object(), {"--root", tree.path().string(), "--no-persist"}, options);

    // The panel is the application's one viewable window; it has the keyboard focus once shown.
    xcb_window_t panel = XCB_NONE;
    auto shownWithFocus = [&] {
        const auto windows = x11.viewableWindowsOf(app.pid());
        panel = windows.size() == 1 ? windows[0] : XCB_NONE;
        return panel != XCB_NONE && x11.inputFocus() == panel;
    };
    auto hidden = [&] { return x11.viewableWindowsOf(app.pid()).empty(); };
    ASSERT_TRUE(pollFor(shownWithFocus)) << "the panel did not come up with the focus";
    const xcb_window_t launched = panel;

    const auto activation = x11.atom("_NET_ACTIVE_WINDOW");
    ASSERT_TRUE(press("ctrl+shift+space"));
    ASSERT_TRUE(pollFor(hidden)) << "the hot key did not hide the panel";
    EXPECT_FALSE(x11.nextClientMessage(activation, std::chrono::milliseconds(0)))
        << "hiding asks the window manager for nothing";

    ASSERT_TRUE(press("ctrl+shift+space"));
    ASSERT_TRUE(pollFor(shownWithFocus)) << "a second press did not show the panel again";
    EXPECT_EQ(panel, launched) << "the same panel";
    const auto request = x11.nextClientMessage(activation, std::chrono::seconds(15));
    ASSERT_TRUE(request) << "no activation request for the panel";
    EXPECT_EQ(request->window, panel);
    EXPECT_EQ(request->data.data32[0], 2u) << "source: on the user's behalf";
    EXPECT_NE(request->data.data32[1], 0u) << "the press's X time";

    EXPECT_EQ(app.endWith(SIGTERM), 0);
}

}  // namespace
}  // namespace quorvanta::app
