#include "entrycursor.h"

namespace plovik::sim {

char* EntryCursor::next() {
    std::lock_guard lock(mutex_);
    if (position_ >= texts_.size()) {
        return nullptr;
    }
    return texts_[position_++].data();
}

}  // namespace plovik::sim
