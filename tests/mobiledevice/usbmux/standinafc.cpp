#include "standinafc.h"

#include "socketio.h"

#include <poll.h>

namespace standin {

namespace {

using namespace plovik::devemu;

constexpr uint64_t kNotFound = 8;
constexpr uint64_t kInvalidArgument = 7;
constexpr uint64_t kNoSpaceLeft = 18;
constexpr uint64_t kNoResources = 3;

std::string parentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

}  // namespace

std::string StandInAfc::fileContent(const std::string& path) {
    const std::lock_guard lock(mutex_);
    return files_[path];
}

void StandInAfc::serve(int socket) {
    AfcRequest request;
    while (receiveAfcRequest(socket, request)) {
        if (streamed(request) && subjectOf(request).starts_with("/Unordered/") &&
            requestWaits(socket)) {
            AfcRequest behind;
            if (!receiveAfcRequest(socket, behind) || !reply(socket, behind)) {
                return;
            }
        }
        if (!reply(socket, request)) {
            return;
        }
    }
}

bool StandInAfc::requestWaits(int socket) {
    pollfd waiting{socket, POLLIN, 0};
    return poll(&waiting, 1, 0) == 1;
}

bool StandInAfc::streamed(const AfcRequest& request) {
    return request.operation == kAfcGetFileInfo || request.operation == kAfcFileOpen ||
           request.operation == kAfcFileRead;
}

std::string StandInAfc::subjectOf(const AfcRequest& request) {
    const std::lock_guard lock(mutex_);
    switch (request.operation) {
        case kAfcFileOpen:
            return request.text(8);
        case kAfcFileRead:
        case kAfcFileWrite:
        case kAfcFileSeek:
        case kAfcFileTell:
        case kAfcFileClose: {
            const auto found = open_.find(request.number(0));
            return found == open_.end() ? std::string() : found->second.path;
        }
        default:
            return request.text(0);
    }
}

bool StandInAfc::reply(int socket, const AfcRequest& request) {
    const std::string path = subjectOf(request);
    const bool info = request.operation == kAfcGetFileInfo;
    const bool desync = request.operation == kAfcReadDirectory && path == "/desync";
    const bool garbled = info && path.starts_with("/Garbled/");
    const AfcReply answered = streamed(request) && path.starts_with("/Busy/") && sentAhead_
                                  ? AfcReply::status(kNoResources)
                                  : answer(request);
    const std::string bytes = encodeAfcReply(desync    ? request.packetNumber + 7
                                             : garbled ? request.packetNumber + 1000
                                                       : request.packetNumber,
                                             answered);
    // Looked at before the reply goes: a request there already cannot have waited for it.
    const bool nextWaits = requestWaits(socket);
    if (!writeAll(socket, bytes.data(), bytes.size())) {
        return false;
    }
    sentAhead_ = nextWaits;
    return true;
}

AfcReply StandInAfc::listing(const std::string& path) {
    if (directories_.count(path) == 0) {
        return AfcReply::status(kNotFound);
    }
    std::string names(".\0..\0", 5);
    for (const std::string& directory : directories_) {
        if (directory != "/" && parentOf(directory) == path) {
            names += directory.substr(directory.rfind('/') + 1) + '\0';
        }
    }
    for (const auto& [file, content] : files_) {
        if (parentOf(file) == path) {
            names += file.substr(file.rfind('/') + 1) + '\0';
        }
    }
    return {kAfcData, names};
}

AfcReply StandInAfc::answer(const AfcRequest& request) {
    const std::lock_guard lock(mutex_);
    const std::string path = request.text(0);
    switch (request.operation) {
        case kAfcReadDirectory:
            return listing(path);
        case kAfcGetFileInfo: {
            const bool isFile = files_.count(path) != 0;
            if (!isFile && directories_.count(path) == 0) {
                return AfcReply::status(kNotFound);
            }
            const std::string size = std::to_string(isFile ? files_[path].size() : 0);
            return {kAfcData, std::string("st_size\0", 8) + size + '\0' +
                                  std::string("st_ifmt\0", 8) + (isFile ? "S_IFREG" : "S_IFDIR") +
                                  '\0'};
        }
        case kAfcMakeDirectory:
            directories_.insert(path);
            return AfcReply::status(0);
        case kAfcRemovePath:
            return AfcReply::status(files_.erase(path) + directories_.erase(path) > 0 ? 0
                                                                                      : kNotFound);
        case kAfcRenamePath: {
            const auto found = files_.find(path);
            if (found == files_.end()) {
                return AfcReply::status(kNotFound);
            }
            files_[request.text(path.size() + 1)] = found->second;
            files_.erase(path);
            return AfcReply::status(0);
        }
        case kAfcFileOpen: {
            const uint64_t mode = request.number(0);
            const std::string file = request.text(8);
            if (mode < 1 || mode > 6) {
                return AfcReply::status(kInvalidArgument);
            }
            if (mode == 1 && files_.count(file) == 0) {
                return AfcReply::status(kNotFound);
            }
            if (mode == 3 || mode == 4) {
                files_[file].clear();
            } else {
                files_[file];  // every mode but "r" creates a missing file
            }
            open_[nextHandle_] = {file, 0};
            return AfcReply::number(kAfcFileOpenResult, nextHandle_++);
        }
        default:
            break;
    }
    const auto openFile = open_.find(request.number(0));
    if (openFile == open_.end()) {
        return AfcReply::status(kInvalidArgument);
    }
    std::string& content = files_[openFile->second.path];
    uint64_t& position = openFile->second.position;
    const std::string& payload = request.payload;
    switch (request.operation) {
        case kAfcFileRead: {
            std::string data = position < content.size()
                                   ? content.substr(position, request.number(8))
                                   : std::string();
            position += data.size();
            return {kAfcData, std::move(data)};
        }
        case kAfcFileWrite:
            if (openFile->second.path.starts_with("/Full/")) {
                return AfcReply::status(kNoSpaceLeft);
            }
            if (content.size() < position + payload.size()) {
                content.resize(position + payload.size());
            }
            content.replace(position, payload.size(), payload);
            position += payload.size();
            return AfcReply::status(0);
        case kAfcFileSeek:
            position = (request.number(8) == 2 ? content.size() : 0) + request.number(16);
            return AfcReply::status(0);
        case kAfcFileTell:
            return AfcReply::number(kAfcFileTellResult, position);
        case kAfcFileClose:
            open_.erase(openFile);
            return AfcReply::status(0);
        default:
            return AfcReply::status(15);
    }
}

}  // namespace standin
