#pragma once

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <string>

/**
 * The X server's own pointer, moved and clicked through the XTEST extension as a user's mouse
 * would: the program sees real button and motion events. Header-only, for the X11 window tests.
 */
class XTestPointer {
public:
    explicit XTestPointer(const std::string& display)
        : connection_(xcb_connect(display.c_str(), nullptr)) {}
    ~XTestPointer() { xcb_disconnect(connection_); }
    XTestPointer(const XTestPointer&) = delete;
    XTestPointer& operator=(const XTestPointer&) = delete;

    void moveTo(int x, int y) {
        fake(XCB_MOTION_NOTIFY, 0, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y));
    }
    void press() { fake(XCB_BUTTON_PRESS, 1, 0, 0); }
    void release() { fake(XCB_BUTTON_RELEASE, 1, 0, 0); }

private:
    void fake(std::uint8_t type, std::uint8_t detail, std::int16_t x, std::int16_t y) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        // Checked: the event has been made once this returns.
        xcb_generic_error_t* error = xcb_request_check(
            connection_,
            xcb_test_fake_input_checked(connection_, type, detail, XCB_CURRENT_TIME,
                                        type == XCB_MOTION_NOTIFY ? root : XCB_NONE, x, y, 0));
        free(error);
    }

    xcb_connection_t* connection_;
};
