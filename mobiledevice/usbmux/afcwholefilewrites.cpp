#include "afcwholefilewrites.h"

#include "results.h"

#include <utility>

namespace plovik::usbmux {

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
    const size_t replyCost = kind == Kind::Info ? size_t{256} : kShortReplyCost;
    Request request{file, kind, AfcOperation::GetFileInfo, {}, replyCost};
    switch (kind) {
        case Kind::Info:
            request.arguments = pathArgument(source.path);
            break;
        case Kind::Open:
            request.operation = AfcOperation::FileOpen;
            // Creates the staged file, or empties one an earlier try left.
            request.arguments = openArguments(kAfcWriteTruncateMode, source.stagedPath);
            state.staged = true;
            break;
        case Kind::Write:
            request.operation = AfcOperation::FileWrite;
            request.arguments = handleArgument(state.handle);
            request.payload = source.bytes;
            request.payloadLength = static_cast<size_t>(source.length);
            break;
        case Kind::Close:
            request.operation = AfcOperation::FileClose;
            request.arguments = handleArgument(state.handle);
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
            request.arguments = pathArgument(source.stagedPath);
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
    const bool refused = mayBeRefusalInFlight(carriesData, status, sentAhead) &&
                         status != kAfcNoSpaceLeft && kind != Kind::Time;
    if (refused || outOfOrder) {
        state.writeAgain = true;
    }
    --state.onTheWay;
    switch (kind) {
        case Kind::Info:
            if (carriesData) {
                state.pathTaken = true;
                state.pathIsFolder = fileInfoValue(body, "st_ifmt") == "S_IFDIR";
            } else if (status != kAfcObjectNotFound) {
                keepFirstFailure(state.failure, status);
            }
            break;
        case Kind::Open:
            if (const auto handle = carriesData ? openedHandle(body) : std::nullopt) {
                state.handle = *handle;
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
                keepFirstFailure(state.failure, carriesData ? kAfcBadReply : status);
            }
            break;
        case Kind::Write:
        case Kind::Close:
            if (carriesData || status != kSuccess) {
                keepFirstFailure(state.failure, status);
            }
            break;
        case Kind::Time:
            break;
        case Kind::Rename:
            if (!carriesData && status == kSuccess) {
                state.staged = false;
            } else {
                keepFirstFailure(state.failure, status);
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
