#pragma once

#include <cstddef>
#include <vector>

#include "values/zelbostring.h"

/** A folder once shown: its device's identifier and its display path. */
struct HistoryEntry {
    CZelboString deviceIdentifier;
    CZelboString displayPath;

    bool operator==(const HistoryEntry& other) const = default;
};

/**
 * The main window's back and forward stacks. Pushing onto the back stack drops an entry equal to
 * its top, so showing the same folder twice leaves one entry.
 */
class NavigationHistory {
public:
    /** Pushes entry onto the back stack unless it equals the top; then empties forward if asked. */
    void pushBack(HistoryEntry entry, bool clearForward);
    void pushForward(HistoryEntry entry);

    const HistoryEntry* backTop() const { return back_.empty() ? nullptr : &back_.back(); }
    const HistoryEntry* forwardTop() const { return forward_.empty() ? nullptr : &forward_.back(); }
    void popBack() { back_.pop_back(); }
    void popForward() { forward_.pop_back(); }

    bool canGoBack() const { return !back_.empty(); }
    bool canGoForward() const { return !forward_.empty(); }
    std::size_t backSize() const { return back_.size(); }
    std::size_t forwardSize() const { return forward_.size(); }

private:
    std::vector<HistoryEntry> back_;
    std::vector<HistoryEntry> forward_;
};
