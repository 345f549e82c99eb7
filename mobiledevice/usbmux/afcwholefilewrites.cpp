#include "afcwholefilewrites.h"

#include "results.h"

#include <string_view>
#include <utility>

namespace plovik::usbmux {

namespace {

// AFC's "w": creates the staged file, or empties one an earlier try left.
constexpr uint64_t kWriteTruncateMode = 3;
constexpr int kAfcObjectNotFound = 8;
constexpr int kAfcObjectIsDirectory = 9;
constexpr int kAfcObjectExists = 16;
constexpr int kAfcNoSpaceLeft = 18;

bool describesFolder(const std::vector<uint8_t>& body) {
    const std::vector<std::string> texts = splitTexts(body);
    for (size_t key = 0; key + 1 < texts.size(); key += 2) {
        if (texts[key] == "st_ifmt") {
            return texts[key + 1] == "S_IFDIR";
        }
    }
    return false;
}

}  // namespace

AfcWholeFileWrites::AfcWholeFileWrites(const std::vector<File>& all, std::vector<size_t> files)
    : all_(all), files_(std::move(files)), state_(all.size()) {}

const AfcWholeFileWrites::Request& AfcWholeFileWrites::next() {
    if (followUps_.empty()) {
        const size_t file = files_[nextFile_++];
        queue(file, Kind::Info);
        queue(file, Kind::Open);
    }
    return followUps_.front();
}

void AfcWholeFileWrites::pop() {
    followUps_.pop_front();
}

void AfcWholeFileWrites::queue(size_t file, Kind kind) {
    const File& source = all_[file];
    State& state = state_[file];
    // A status reply, or a few keys and values for the information.
    Request request{file, kind, AfcOperation::GetFileInfo, {}, kind == Kind::Info ? 256u : 48u};
    switch (kind) {
        case Kind::Info:
            appendText(request.arguments, source.path);
            break;
        case Kind::Open:
            request.operation = AfcOperation::FileOpen;
            appendUint64(request.arguments, kWriteTruncateMode);
            appendText(request.arguments, source.stagedPath);
            state.staged = true;
            break;
        case Kind::Write:
            request.operation = AfcOperation::FileWrite;
            appendUint64(request.arguments, state.handle);
            request.payload = source.bytes;
            request.payloadLength = static_cast<size_t>(source.length);
            break;
        case Kind::Close:
            request.operation = AfcOperation::FileClose;
            appendUint64(request.arguments, state.handle);
            break;
        case Kind::Time:
            request.operation = AfcOperation::SetFileTime;
            appendUint64(request.arguments, source.modificationTime);
            appendText(request.arguments, source.stagedPath);
            break;
        case Kind::Rename:
            request.operation = AfcOperation::RenamePath;
            appendText(request.arguments, source.stagedPath);
            appendText(request.arguments, source.path);
            state.renaming = true;
            break;
        case Kind::Remove:
            request.operation = AfcOperation::RemovePath;
            appendText(request.arguments, source.stagedPath);
            state.removing = true;
            break;
    }
    ++state.onTheWay;
    followUps_.push_back(std::move(request));
}

AfcWholeFileWrites::Answer AfcWholeFileWrites::answer(size_t file, Kind kind, bool carriesData,
                                                      int status, const std::vector<uint8_t>& body,
                                                      bool sentAhead, bool outOfOrder) {
    State& state = state_[file];
    // A missing path and a full device are answers a device gives any request, and a file time
    // one it may refuse for good; other failures of a request sent ahead may be its refusal of
    // requests in flight.
    const bool refused = !carriesData && status != kSuccess && status != kAfcObjectNotFound &&
                         status != kAfcNoSpaceLeft && kind != Kind::Time && sentAhead;
    if (refused || outOfOrder) {
        state.writeAgain = true;
    }
    const auto failWith = [&](int code) {
        if (state.failure == kSuccess) {
            state.failure = code != kSuccess ? code : kAfcUnexpectedReply;
        }
    };
    --state.onTheWay;
    switch (kind) {
        case Kind::Info:
            if (carriesData) {
                state.pathTaken = true;
                state.pathIsFolder = describesFolder(body);
            } else if (status != kAfcObjectNotFound) {
                failWith(status);
            }
            break;
        case Kind::Open:
            if (carriesData && body.size() >= 8 && readUint64(body.data()) != 0) {
                state.handle = readUint64(body.data());
                const bool writes = !state.pathTaken && state.failure == kSuccess;
                if (writes && all_[file].length > 0) {
                    queue(file, Kind::Write);
                }
                queue(file, Kind::Close);
                if (writes && all_[file].modificationTime > 0) {
                    queue(file, Kind::Time);
                }
            } else {
                state.staged = false;
                failWith(carriesData ? kAfcBadReply : status);
            }
            break;
        case Kind::Write:
        case Kind::Close:
            if (carriesData || status != kSuccess) {
                failWith(status);
            }
            break;
        case Kind::Time:
            break;
        case Kind::Rename:
            if (!carriesData && status == kSuccess) {
                state.staged = false;
            } else {
                failWith(status);
            }
            break;
        case Kind::Remove:
            state.staged = carriesData || (status != kSuccess && status != kAfcObjectNotFound);
            break;
    }
    if (state.onTheWay > 0) {
        return {std::nullopt, refused};
    }
    return {settle(file), refused};
}

std::optional<AfcWholeFileWrites::Finished> AfcWholeFileWrites::settle(size_t file) {
    State& state = state_[file];
    if (state.renaming && !state.staged && state.failure == kSuccess) {
        return Finished{file, kSuccess, false};
    }
    const bool spoilt = state.writeAgain || state.failure != kSuccess || state.pathTaken;
    if (!spoilt && !state.renaming) {
        queue(file, Kind::Rename);
        return std::nullopt;
    }
    if (state.staged && !state.removing) {
        queue(file, Kind::Remove);
        return std::nullopt;
    }
    if (state.writeAgain) {
        writeAgain_.push_back(file);
        return std::nullopt;
    }
    int result = state.failure;
    if (result == kSuccess && state.pathTaken) {
        result = state.pathIsFolder ? kAfcObjectIsDirectory : kAfcObjectExists;
    }
    return Finished{file, result, state.staged};
}

}  // namespace plovik::usbmux
