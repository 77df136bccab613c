#include "QuorvantaApp/HotKey/ActiveWindow.h"

#include "QuorvantaApp/HotKey/X11Session.h"

#include <cstdlib>
#include <memory>
#include <string_view>

namespace quorvanta::app {

namespace {

template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

// The source indication of an activation request that a pager or another tool makes for the user.
constexpr std::uint32_t kSourceOnUsersBehalf = 2;

}  // namespace

bool requestActiveWindow(std::uint32_t window, std::uint32_t pressTime) {
    auto* connection = hotkey::x11Session().connection;
    if (!connection) return false;

    constexpr std::string_view name = "_NET_ACTIVE_WINDOW";
    const auto atomCookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data());
    const auto geometryCookie = xcb_get_geometry(connection, window);
    ReplyPtr<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(connection, atomCookie, nullptr), &std::free);
    ReplyPtr<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(connection, geometryCookie, nullptr),
                                                &std::free);
    if (!atom || !geometry) return false;

    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = window;
    request.type = atom->atom;
    request.data.data32[0] = kSourceOnUsersBehalf;
    request.data.data32[1] = pressTime;
    request.data.data32[2] = XCB_NONE;  // the application has no active window the request comes from
    xcb_send_event(connection, 0, geometry->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&request));
    xcb_flush(connection);
    return true;
}

}  // namespace quorvanta::app
