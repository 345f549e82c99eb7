#include "xdsdroptarget.h"

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint32_t kXdndVersion = 5;

}  // namespace

XdsDropTarget::XdsDropTarget(const std::string& display, int x, int y, int width, int height,
                             std::string saveUri)
    : saveUri_(std::move(saveUri)) {
    connection_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection_))
        return;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    window_ = xcb_generate_id(connection_);
    // No window manager runs: the window stays where it is put.
    const std::uint32_t values[] = {
        screen->white_pixel, 1, XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root,
                      static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window_, atom("XdndAware"),
                        XCB_ATOM_ATOM, 32, 1, &kXdndVersion);
    xcb_map_window(connection_, window_);
    xcb_flush(connection_);
    thread_ = std::thread([this] { run(); });
}

XdsDropTarget::~XdsDropTarget() {
    stop_.store(true);
    if (thread_.joinable())
        thread_.join();
    xcb_disconnect(connection_);
}

bool XdsDropTarget::waitForAcceptedPosition(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return positionAnswered_.wait_for(lock, timeout, [this] { return accepted_; });
}

XdsDropTarget::Outcome XdsDropTarget::outcome() const {
    std::lock_guard lock(mutex_);
    return outcome_;
}

void XdsDropTarget::run() {
    pollfd readable{xcb_get_file_descriptor(connection_), POLLIN, 0};
    while (!stop_.load() && !xcb_connection_has_error(connection_)) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            handle(*event);
            std::free(event);
        }
        // Wakes now and then to see whether it is to stop.
        poll(&readable, 1, 100);
    }
}

void XdsDropTarget::handle(const xcb_generic_event_t& event) {
    switch (event.response_type & 0x7f) {
        case XCB_MAP_NOTIFY:
            mapped_.store(true);
            break;
        case XCB_CLIENT_MESSAGE:
            clientMessage(reinterpret_cast<const xcb_client_message_event_t&>(event));
            break;
        case XCB_SELECTION_NOTIFY:
            selectionArrived(reinterpret_cast<const xcb_selection_notify_event_t&>(event));
            break;
        default:
            break;
    }
}

void XdsDropTarget::clientMessage(const xcb_client_message_event_t& message) {
    const std::uint32_t* data = message.data.data32;
    if (message.type == atom("XdndEnter")) {
        source_ = data[0];
        types_.clear();
        if (data[1] & 1) {
            xcb_get_property_reply_t* reply = xcb_get_property_reply(
                connection_,
                xcb_get_property(connection_, 0, source_, atom("XdndTypeList"), XCB_ATOM_ATOM, 0,
                                 1024),
                nullptr);
            if (reply) {
                const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
                types_.assign(atoms, atoms + xcb_get_property_value_length(reply) / 4);
                std::free(reply);
            }
        } else {
            for (int i = 2; i < 5; ++i) {
                if (data[i] != XCB_ATOM_NONE)
                    types_.push_back(data[i]);
            }
        }
        std::vector<std::string> names;
        for (const xcb_atom_t type : types_) {
            xcb_get_atom_name_reply_t* reply =
                xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, type), nullptr);
            if (reply) {
                names.emplace_back(xcb_get_atom_name_name(reply),
                                   static_cast<std::size_t>(xcb_get_atom_name_name_length(reply)));
                std::free(reply);
            }
        }
        std::lock_guard lock(mutex_);
        outcome_.offeredTypes = names;
    } else if (message.type == atom("XdndPosition") && data[0] == source_) {
        sendToSource(atom("XdndStatus"), 1 | 2, atom("XdndActionCopy"));
        // A round trip: the server has passed the status on before the pointer is let go, which
        // another connection does; a release ahead of the status would cancel the drag.
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
        std::lock_guard lock(mutex_);
        accepted_ = true;
        positionAnswered_.notify_all();
    } else if (message.type == atom("XdndDrop") && data[0] == source_) {
        dropped(data[2]);
    }
}

void XdsDropTarget::dropped(xcb_timestamp_t time) {
    const xcb_atom_t directSave = atom("XdndDirectSave0");
    const bool offered = std::find(types_.begin(), types_.end(), directSave) != types_.end();
    const bool direct = offered && !saveUri_.empty();
    {
        std::lock_guard lock(mutex_);
        outcome_.directSave = direct;
        if (offered)
            outcome_.offeredName = propertyText(source_, directSave);
    }
    if (direct) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, source_, directSave,
                            atom("text/plain"), 8, static_cast<std::uint32_t>(saveUri_.size()),
                            saveUri_.data());
    }
    xcb_convert_selection(connection_, window_, atom("XdndSelection"),
                          direct ? directSave : atom("text/uri-list"), atom("PLOVIK_DROPPED"),
                          time);
    xcb_flush(connection_);
}

void XdsDropTarget::selectionArrived(const xcb_selection_notify_event_t& notify) {
    const std::string data =
        notify.property == XCB_ATOM_NONE ? std::string() : propertyText(window_, notify.property);
    {
        std::lock_guard lock(mutex_);
        outcome_.answer = data;
    }
    const bool done = outcome_.directSave ? data == "S" : !data.empty();
    sendToSource(atom("XdndFinished"), done ? 1 : 0, done ? atom("XdndActionCopy") : 0);
    finished_.store(true);
}

void XdsDropTarget::sendToSource(xcb_atom_t type, std::uint32_t flags, std::uint32_t action) {
    xcb_client_message_event_t message;
    std::memset(&message, 0, sizeof message);
    message.response_type = XCB_CLIENT_MESSAGE;
    message.window = source_;
    message.format = 32;
    message.type = type;
    message.data.data32[0] = window_;
    message.data.data32[1] = flags;
    // XdndStatus: the rectangle of no further position messages (none), then the action.
    message.data.data32[type == atom("XdndStatus") ? 4 : 2] = action;
    xcb_send_event(connection_, 0, source_, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection_);
}

xcb_atom_t XdsDropTarget::atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

std::string XdsDropTarget::propertyText(xcb_window_t window, xcb_atom_t property) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 65536),
        nullptr);
    std::string text;
    if (reply) {
        text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                    static_cast<std::size_t>(xcb_get_property_value_length(reply)));
        std::free(reply);
    }
    return text;
}
