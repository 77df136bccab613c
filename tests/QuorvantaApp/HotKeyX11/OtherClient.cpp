#include "tests/QuorvantaApp/HotKeyX11/OtherClient.h"

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace quorvanta::test {

namespace {

template <class T>
using Owned = std::unique_ptr<T, decltype(&std::free)>;

}  // namespace

OtherClient::OtherClient() : connection_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        throw std::runtime_error("cannot connect to the X server");
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    symbols_ = xcb_key_symbols_alloc(connection_);
}

OtherClient::~OtherClient() {
    ungrabAll();
    xcb_key_symbols_free(symbols_);
    xcb_disconnect(connection_);
}

void OtherClient::sync() {
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

xcb_keycode_t OtherClient::keycode(xcb_keysym_t keysym) {
    // A fresh table: the test may have remapped keys since the last lookup.
    xcb_key_symbols_free(symbols_);
    symbols_ = xcb_key_symbols_alloc(connection_);
    Owned<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols_, keysym), &std::free);
    return codes ? codes.get()[0] : 0;
}

bool OtherClient::grab(xcb_keysym_t keysym, std::uint16_t modifiers) {
    const auto code = keycode(keysym);
    if (code == 0) throw std::runtime_error("no keycode for the keysym");
    return grabKeycode(code, modifiers);
}

bool OtherClient::grabKeycode(xcb_keycode_t code, std::uint16_t modifiers) {
    Owned<xcb_generic_error_t> error(
        xcb_request_check(connection_, xcb_grab_key_checked(connection_, 0, root_, modifiers, code, XCB_GRAB_MODE_ASYNC,
                                                            XCB_GRAB_MODE_ASYNC)),
        &std::free);
    if (error && error->error_code != XCB_ACCESS) throw std::runtime_error("grab failed");
    if (!error) held_.push_back({code, modifiers});
    return !error;
}

bool OtherClient::canGrabEveryVariant(xcb_keysym_t keysym, std::uint16_t modifiers) {
    bool all = true;
    for (const auto variant : kLockVariants) all = grab(keysym, static_cast<std::uint16_t>(modifiers | variant)) && all;
    ungrabAll();
    return all;
}

void OtherClient::ungrabAll() {
    for (const auto& held : held_) xcb_ungrab_key(connection_, held.keycode, root_, held.modifiers);
    held_.clear();
    sync();
}

std::vector<xcb_keysym_t> OtherClient::keysymsOf(xcb_keycode_t keycode) {
    Owned<xcb_get_keyboard_mapping_reply_t> reply(
        xcb_get_keyboard_mapping_reply(connection_, xcb_get_keyboard_mapping(connection_, keycode, 1), nullptr),
        &std::free);
    if (!reply) throw std::runtime_error("no keyboard mapping");
    const auto* keysyms = xcb_get_keyboard_mapping_keysyms(reply.get());
    return {keysyms, keysyms + reply->keysyms_per_keycode};
}

void OtherClient::remap(xcb_keycode_t keycode, xcb_keysym_t keysym) {
    const auto width = keysymsOf(keycode).size();
    restore(keycode, std::vector<xcb_keysym_t>(width, keysym));
}

void OtherClient::restore(xcb_keycode_t keycode, const std::vector<xcb_keysym_t>& keysyms) {
    xcb_change_keyboard_mapping(connection_, 1, keycode, static_cast<std::uint8_t>(keysyms.size()), keysyms.data());
    sync();
}

std::vector<std::vector<xcb_keycode_t>> OtherClient::modifierMap() {
    Owned<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr), &std::free);
    if (!reply) throw std::runtime_error("no modifier map");
    const auto* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int width = reply->keycodes_per_modifier;
    std::vector<std::vector<xcb_keycode_t>> map;
    for (int modifier = 0; modifier < 8; ++modifier)
        map.emplace_back(keycodes + modifier * width, keycodes + (modifier + 1) * width);
    return map;
}

bool OtherClient::setModifierMap(const std::vector<std::vector<xcb_keycode_t>>& map) {
    std::size_t width = 0;
    for (const auto& keycodes : map) width = std::max(width, keycodes.size());
    std::vector<xcb_keycode_t> flat;
    for (const auto& keycodes : map) {
        flat.insert(flat.end(), keycodes.begin(), keycodes.end());
        flat.resize(flat.size() + width - keycodes.size(), 0);
    }
    Owned<xcb_set_modifier_mapping_reply_t> reply(
        xcb_set_modifier_mapping_reply(
            connection_, xcb_set_modifier_mapping(connection_, static_cast<std::uint8_t>(width), flat.data()), nullptr),
        &std::free);
    return reply && reply->status == XCB_MAPPING_STATUS_SUCCESS;
}

void OtherClient::becomeWindowManager() {
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    Owned<xcb_generic_error_t> error(xcb_request_check(connection_, xcb_change_window_attributes_checked(
                                                                        connection_, root_, XCB_CW_EVENT_MASK, &mask)),
                                     &std::free);
    if (error) throw std::runtime_error("another window manager runs");
}

void OtherClient::watchRoot() {
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    sync();
}

std::optional<xcb_client_message_event_t> OtherClient::nextClientMessage(xcb_atom_t type,
                                                                         std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        while (auto* event = xcb_poll_for_event(connection_)) {
            Owned<xcb_generic_event_t> owned(event, &std::free);
            if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) continue;
            xcb_client_message_event_t message;
            std::memcpy(&message, event, sizeof message);
            if (message.type == type) return message;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd readable{xcb_get_file_descriptor(connection_), POLLIN, 0};
        poll(&readable, 1, static_cast<int>(left.count()));
    }
}

xcb_atom_t OtherClient::atom(const char* name) {
    Owned<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : XCB_NONE;
}

std::vector<xcb_window_t> OtherClient::viewableWindowsOf(pid_t pid) {
    Owned<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr),
                                       &std::free);
    if (!tree) throw std::runtime_error("no window tree");
    const auto pidAtom = atom("_NET_WM_PID");
    const auto* children = xcb_query_tree_children(tree.get());
    std::vector<xcb_window_t> found;
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const auto window = children[i];
        Owned<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window), nullptr),
            &std::free);
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) continue;
        Owned<xcb_get_property_reply_t> property(
            xcb_get_property_reply(
                connection_, xcb_get_property(connection_, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr),
            &std::free);
        if (!property || xcb_get_property_value_length(property.get()) != 4) continue;
        if (*static_cast<const std::uint32_t*>(xcb_get_property_value(property.get())) == static_cast<std::uint32_t>(pid))
            found.push_back(window);
    }
    return found;
}

xcb_window_t OtherClient::inputFocus() {
    Owned<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr), &std::free);
    return reply ? reply->focus : XCB_NONE;
}

}  // namespace quorvanta::test
