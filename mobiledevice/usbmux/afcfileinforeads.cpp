#include "afcfileinforeads.h"

#include "results.h"

#include <utility>

namespace plovik::usbmux {

namespace {

// What one file information reply is reckoned to take: a handful of keys and values.
constexpr size_t kInfoReplyReckoning = 256;

}  // namespace

AfcFileInfoReads::AfcFileInfoReads(const std::vector<const char*>& paths, std::vector<size_t> files)
    : paths_(paths), files_(std::move(files)) {}

const AfcFileInfoReads::Request& AfcFileInfoReads::next() {
    if (!asking_) {
        const size_t file = files_[next_];
        asking_ = Request{file, Kind::Info, AfcOperation::GetFileInfo, pathArgument(paths_[file]),
                          kInfoReplyReckoning};
    }
    return *asking_;
}

void AfcFileInfoReads::pop() {
    asking_.reset();
    ++next_;
}

AfcFileInfoReads::Answer AfcFileInfoReads::answer(size_t file, Kind, bool carriesData, int status,
                                                  const std::vector<uint8_t>& body, bool sentAhead,
                                                  bool) {
    // A missing entry is an answer a device gives any request; other failures of a request sent
    // ahead may be the device's refusal of requests in flight. A reply out of order still
    // answers its own request: information carries no position to lose.
    if (mayBeRefusalInFlight(carriesData, status, sentAhead)) {
        askAgain_.push_back(file);
        return {std::nullopt, true};
    }
    if (!carriesData) {
        return {Finished{file, status != kSuccess ? status : kAfcUnexpectedReply, {}}};
    }
    return {Finished{file, kSuccess, splitKeysAndValues(body)}};
}

}  // namespace plovik::usbmux
