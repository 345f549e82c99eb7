#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/**
 * An XDND drop target on a connection and thread of its own: a window that accepts every drag
 * as a copy. Dropped on, it saves by XDND direct save where the drag offers it and the target is
 * set to (naming the URI given as the place), otherwise it asks for the text/uri-list; then it
 * answers XdndFinished. What it saw is kept for the test.
 */
class XdsDropTarget {
public:
    struct Outcome {
        std::vector<std::string> offeredTypes;
        /** The name the source's XdndDirectSave0 property held at the drop. */
        std::string offeredName;
        /** The direct-save answer ("S", "F", "E"), or the uri-list received. */
        std::string answer;
        bool directSave = false;
    };

    /** saveUri: where to direct-save; empty asks for the uri-list whatever the drag offers. */
    XdsDropTarget(const std::string& display, int x, int y, int width, int height,
                  std::string saveUri);
    ~XdsDropTarget();
    XdsDropTarget(const XdsDropTarget&) = delete;
    XdsDropTarget& operator=(const XdsDropTarget&) = delete;

    bool isMapped() const { return mapped_.load(); }
    /** Waits up to timeout until a position was answered with an accepting status. */
    bool waitForAcceptedPosition(std::chrono::milliseconds timeout);
    bool isFinished() const { return finished_.load(); }
    Outcome outcome() const;

private:
    void run();
    void handle(const xcb_generic_event_t& event);
    void clientMessage(const xcb_client_message_event_t& message);
    void dropped(xcb_timestamp_t time);
    void selectionArrived(const xcb_selection_notify_event_t& notify);
    void sendToSource(xcb_atom_t type, std::uint32_t flags, std::uint32_t action);
    xcb_atom_t atom(const char* name);
    std::string propertyText(xcb_window_t window, xcb_atom_t property);

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t window_ = 0;
    xcb_window_t source_ = 0;
    std::vector<xcb_atom_t> types_;
    std::string saveUri_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> mapped_{false};
    std::atomic<bool> finished_{false};
    mutable std::mutex mutex_;
    std::condition_variable positionAnswered_;
    bool accepted_ = false;
    Outcome outcome_;
    std::thread thread_;
};
