#include "afcwholefilereads.h"

#include "results.h"

#include <algorithm>
#include <utility>

namespace plovik::usbmux {

AfcWholeFileReads::AfcWholeFileReads(const std::vector<const char*>& paths,
                                     const std::vector<uint64_t>& expectedSizes, uint64_t largest,
                                     std::vector<size_t> files)
    : paths_(paths),
      expectedSizes_(expectedSizes),
      largest_(largest),
      files_(std::move(files)),
      state_(paths.size()) {}

const AfcWholeFileReads::Request& AfcWholeFileReads::next() {
    if (!followUps_.empty()) {
        return followUps_.front();
    }
    if (!opening_) {
        const size_t file = files_[nextOpen_];
        opening_ = Request{file, Kind::Open, AfcOperation::FileOpen,
                           openArguments(kAfcReadOnlyMode, paths_[file]), kShortReplyCost};
    }
    return *opening_;
}

void AfcWholeFileReads::pop() {
    if (!followUps_.empty()) {
        followUps_.pop_front();
        return;
    }
    opening_.reset();
    ++nextOpen_;
}

uint64_t AfcWholeFileReads::readLength(size_t file) const {
    return std::min(expectedSizes_[file], largest_) + 1;
}

void AfcWholeFileReads::queueReads(size_t file) {
    File& state = state_[file];
    const uint64_t length = readLength(file);
    for (int read = 0; read < 2; ++read) {
        followUps_.push_back({file, Kind::Read, AfcOperation::FileRead,
                              readArguments(state.handle, length),
                              AfcHeader::kSize + static_cast<size_t>(length)});
    }
    state.readsOnTheWay = 2;
}

void AfcWholeFileReads::queueClose(size_t file) {
    followUps_.push_back({file, Kind::Close, AfcOperation::FileClose,
                          handleArgument(state_[file].handle), kShortReplyCost});
}

AfcWholeFileReads::Answer AfcWholeFileReads::finish(size_t file) {
    File& state = state_[file];
    if (state.readAgain) {
        readAgain_.push_back(file);
        return {};
    }
    const int result = state.failure;
    return {Finished{file, result,
                     result == kSuccess ? std::move(state.contents) : std::vector<uint8_t>()}};
}

AfcWholeFileReads::Answer AfcWholeFileReads::answer(size_t file, Kind kind, bool carriesData,
                                                    int status, const std::vector<uint8_t>& body,
                                                    bool sentAhead, bool outOfOrder) {
    File& state = state_[file];
    // A missing file is an answer a device gives any request; other failures of a request sent
    // ahead may be the device's refusal of requests in flight.
    const bool refused = mayBeRefusalInFlight(carriesData, status, sentAhead);
    if (refused || outOfOrder) {
        state.readAgain = true;
    }
    switch (kind) {
        case Kind::Open:
            if (const auto handle = carriesData ? openedHandle(body) : std::nullopt) {
                state.handle = *handle;
                queueReads(file);
                return {std::nullopt, refused};
            }
            // No usable handle: nothing to close.
            state.failure = status != kSuccess ? status : kAfcBadReply;
            return {finish(file).finished, refused};
        case Kind::Read:
            --state.readsOnTheWay;
            if (!carriesData) {
                keepFirstFailure(state.failure, status);
            } else if (body.empty()) {
                state.ended = true;
            } else if (!state.ended) {
                state.contents.insert(state.contents.end(), body.begin(), body.end());
            }
            if (state.contents.size() > largest_ && state.failure == kSuccess) {
                state.failure = kAfcTooMuchData;
            }
            if (state.readsOnTheWay == 0) {
                if (state.ended || state.failure != kSuccess) {
                    queueClose(file);
                } else {
                    queueReads(file);
                }
            }
            return {std::nullopt, refused};
        case Kind::Close:
            // What was read is whole whatever the close gave: the file was only read.
            return {finish(file).finished, refused};
    }
    return {};
}

}  // namespace plovik::usbmux
