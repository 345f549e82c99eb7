#include "afcrequestwindow.h"

#include <algorithm>

namespace plovik::usbmux {

void AfcRequestWindow::add(uint64_t packetNumber, size_t index, size_t cost, uint8_t kind) {
    requests_.push_back({packetNumber, index, cost, kind, !requests_.empty()});
    used_ += cost;
}

std::optional<AfcRequestWindow::Answered> AfcRequestWindow::take(uint64_t packetNumber) {
    const auto found =
        std::find_if(requests_.begin(), requests_.end(),
                     [&](const Request& request) { return request.packetNumber == packetNumber; });
    if (found == requests_.end()) {
        return std::nullopt;
    }
    const Answered answered{*found, found != requests_.begin()};
    used_ -= found->cost;
    requests_.erase(found);
    return answered;
}

}  // namespace plovik::usbmux
