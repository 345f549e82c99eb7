#include "app/navigationhistory.h"

void NavigationHistory::pushBack(HistoryEntry entry, bool clearForward) {
    if (back_.empty() || !(back_.back() == entry))
        back_.push_back(std::move(entry));
    if (clearForward)
        forward_.clear();
}

void NavigationHistory::pushForward(HistoryEntry entry) {
    forward_.push_back(std::move(entry));
}
