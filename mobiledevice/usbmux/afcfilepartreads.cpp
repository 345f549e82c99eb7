#include "afcfilepartreads.h"

#include "results.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <utility>

namespace plovik::usbmux {

namespace {

constexpr uint64_t kSeekFromStart = 0;
// The most one read asks for, as a device answers it whole.
constexpr uint64_t kLargestRead = 64 << 10;
// What a file information reply is reckoned to take: a handful of keys and values.
constexpr size_t kInfoReplyCost = AfcHeader::kSize + 256;

std::optional<uint64_t> sizeIn(const std::vector<uint8_t>& body) {
    const std::optional<std::string> value = fileInfoValue(body, "st_size");
    if (!value) {
        return std::nullopt;
    }
    const char* const end = value->data() + value->size();
    uint64_t size = 0;
    const auto [parsedTo, error] = std::from_chars(value->data(), end, size);
    if (error != std::errc() || parsedTo != end) {
        return std::nullopt;
    }
    return size;
}

}  // namespace

AfcFilePartReads::AfcFilePartReads(const std::vector<Part>& parts, std::vector<size_t> files)
    : parts_(parts), files_(std::move(files)), state_(parts.size()) {}

const AfcFilePartReads::Request& AfcFilePartReads::next() {
    if (queued_.empty()) {
        const size_t file = files_[nextFile_++];
        const char* const path = parts_[file].path;
        queued_.push_back(
            {file, Kind::Info, AfcOperation::GetFileInfo, pathArgument(path), kInfoReplyCost});
        queued_.push_back({file, Kind::Open, AfcOperation::FileOpen,
                           openArguments(kAfcReadOnlyMode, path), kShortReplyCost});
        state_[file].awaited = 2;
    }
    return queued_.front();
}

void AfcFilePartReads::pop() {
    queued_.pop_front();
}

void AfcFilePartReads::queueFollowUps(size_t file) {
    File& state = state_[file];
    const Part& part = parts_[file];
    std::vector<Request> followUps;
    if (state.failure == kSuccess && part.offset > 0) {
        Request seek{file, Kind::Seek, AfcOperation::FileSeek, handleArgument(state.handle),
                     kShortReplyCost};
        appendUint64(seek.arguments, kSeekFromStart);
        appendUint64(seek.arguments, part.offset);
        followUps.push_back(std::move(seek));
    }
    for (uint64_t asked = 0; state.failure == kSuccess && asked < part.length;
         asked += kLargestRead) {
        const uint64_t length = std::min(kLargestRead, part.length - asked);
        followUps.push_back({file, Kind::Read, AfcOperation::FileRead,
                             readArguments(state.handle, length),
                             AfcHeader::kSize + static_cast<size_t>(length)});
    }
    followUps.push_back({file, Kind::Close, AfcOperation::FileClose, handleArgument(state.handle),
                         kShortReplyCost});
    state.awaited += static_cast<int>(followUps.size());
    queued_.insert(queued_.begin(), std::make_move_iterator(followUps.begin()),
                   std::make_move_iterator(followUps.end()));
}

void AfcFilePartReads::take(File& state, size_t file, Kind kind, bool carriesData, int status,
                            const std::vector<uint8_t>& body) {
    switch (kind) {
        case Kind::Info:
            if (!carriesData) {
                keepFirstFailure(state.failure, status);
            } else if (const std::optional<uint64_t> size = sizeIn(body)) {
                state.size = size;
            } else {
                keepFirstFailure(state.failure, kAfcBadReply);
            }
            return;
        case Kind::Open:
            if (const auto handle = carriesData ? openedHandle(body) : std::nullopt) {
                state.handle = *handle;
                queueFollowUps(file);
            } else {
                // No usable handle: nothing to close.
                keepFirstFailure(state.failure, status != kSuccess ? status : kAfcBadReply);
            }
            return;
        case Kind::Seek:
            if (carriesData || status != kSuccess) {
                keepFirstFailure(state.failure, status);
            }
            return;
        case Kind::Read:
            if (!carriesData) {
                keepFirstFailure(state.failure, status);
            } else if (state.bytes.size() + body.size() > parts_[file].length) {
                keepFirstFailure(state.failure, kAfcBadReply);
            } else if (state.failure == kSuccess) {
                state.bytes.insert(state.bytes.end(), body.begin(), body.end());
            }
            return;
        case Kind::Close:
            // What was read is whole whatever the close gave: the file was only read.
            return;
    }
}

AfcFilePartReads::Answer AfcFilePartReads::answer(size_t file, Kind kind, bool carriesData,
                                                  int status, const std::vector<uint8_t>& body,
                                                  bool sentAhead, bool outOfOrder) {
    File& state = state_[file];
    // A missing file is an answer a device gives any request; other failures of a request sent
    // ahead may be the device's refusal of requests in flight.
    const bool refused = mayBeRefusalInFlight(carriesData, status, sentAhead);
    if (refused || outOfOrder) {
        state.readAgain = true;
    }
    --state.awaited;
    take(state, file, kind, carriesData, status, body);
    if (state.awaited > 0) {
        return {std::nullopt, refused};
    }
    if (state.readAgain) {
        readAgain_.push_back(file);
        return {std::nullopt, refused};
    }
    if (state.failure != kSuccess || !state.size) {
        return {Finished{file, state.failure != kSuccess ? state.failure : kAfcBadReply, 0, {}},
                refused};
    }
    return {Finished{file, kSuccess, *state.size, std::move(state.bytes)}, refused};
}

}  // namespace plovik::usbmux
