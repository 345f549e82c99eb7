#include "standinafc.h"

#include "standinwire.h"

#include <cstring>
#include <vector>

namespace standin {

namespace {

enum : uint64_t {
    kStatus = 0x01,
    kData = 0x02,
    kReadDirectory = 0x03,
    kRemovePath = 0x08,
    kMakeDirectory = 0x09,
    kGetFileInfo = 0x0A,
    kFileOpen = 0x0D,
    kFileOpenResult = 0x0E,
    kFileRead = 0x0F,
    kFileWrite = 0x10,
    kFileSeek = 0x11,
    kFileTell = 0x12,
    kFileTellResult = 0x13,
    kFileClose = 0x14,
    kRenamePath = 0x18,
};
constexpr uint64_t kNotFound = 8;
constexpr uint64_t kInvalidArgument = 7;

uint64_t number(const std::string& bytes, size_t offset) {
    uint64_t value = 0;
    if (bytes.size() >= offset + 8) {
        std::memcpy(&value, bytes.data() + offset, 8);
    }
    return value;
}

std::string encoded(uint64_t value) {
    return std::string(reinterpret_cast<const char*>(&value), 8);
}

std::string status(uint64_t code, uint64_t* replyOperation) {
    *replyOperation = kStatus;
    return encoded(code);
}

std::string parentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string textAt(const std::string& arguments, size_t offset) {
    return offset < arguments.size() ? std::string(arguments.c_str() + offset) : std::string();
}

}  // namespace

std::string StandInAfc::fileContent(const std::string& path) {
    const std::lock_guard lock(mutex_);
    return files_[path];
}

void StandInAfc::serve(int socket) {
    for (;;) {
        char header[40];
        if (!readExactly(socket, header, sizeof header)) {
            return;
        }
        uint64_t lengths[4];
        std::memcpy(lengths, header + 8, sizeof lengths);
        const auto [entireLength, thisLength, packetNumber, operation] = lengths;
        std::string arguments(thisLength - 40, '\0');
        std::string payload(entireLength - thisLength, '\0');
        if (!readExactly(socket, arguments.data(), arguments.size()) ||
            !readExactly(socket, payload.data(), payload.size())) {
            return;
        }
        uint64_t replyOperation = kStatus;
        const std::string body = answer(operation, arguments, payload, &replyOperation);
        const bool desync = operation == kReadDirectory && textAt(arguments, 0) == "/desync";
        const uint64_t replyLengths[4] = {40 + body.size(),
                                          replyOperation == kData ? 40 : 40 + body.size(),
                                          desync ? packetNumber + 7 : packetNumber, replyOperation};
        std::string reply(header, 8);
        reply.append(reinterpret_cast<const char*>(replyLengths), sizeof replyLengths);
        reply += body;
        if (!writeAll(socket, reply.data(), reply.size())) {
            return;
        }
    }
}

std::string StandInAfc::listing(const std::string& path, uint64_t* replyOperation) {
    if (directories_.count(path) == 0) {
        return status(kNotFound, replyOperation);
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
    *replyOperation = kData;
    return names;
}

std::string StandInAfc::answer(uint64_t operation, const std::string& arguments,
                               const std::string& payload, uint64_t* replyOperation) {
    const std::lock_guard lock(mutex_);
    const std::string path = textAt(arguments, 0);
    switch (operation) {
        case kReadDirectory:
            return listing(path, replyOperation);
        case kGetFileInfo: {
            const bool isFile = files_.count(path) != 0;
            if (!isFile && directories_.count(path) == 0) {
                return status(kNotFound, replyOperation);
            }
            *replyOperation = kData;
            const std::string size = std::to_string(isFile ? files_[path].size() : 0);
            return std::string("st_size\0", 8) + size + '\0' + std::string("st_ifmt\0", 8) +
                   (isFile ? "S_IFREG" : "S_IFDIR") + '\0';
        }
        case kMakeDirectory:
            directories_.insert(path);
            return status(0, replyOperation);
        case kRemovePath:
            return status(files_.erase(path) + directories_.erase(path) > 0 ? 0 : kNotFound,
                          replyOperation);
        case kRenamePath: {
            const auto found = files_.find(path);
            if (found == files_.end()) {
                return status(kNotFound, replyOperation);
            }
            files_[textAt(arguments, path.size() + 1)] = found->second;
            files_.erase(path);
            return status(0, replyOperation);
        }
        case kFileOpen: {
            const uint64_t mode = number(arguments, 0);
            const std::string file = textAt(arguments, 8);
            if (mode < 1 || mode > 6) {
                return status(kInvalidArgument, replyOperation);
            }
            if (mode == 1 && files_.count(file) == 0) {
                return status(kNotFound, replyOperation);
            }
            if (mode == 3 || mode == 4) {
                files_[file].clear();
            } else {
                files_[file];  // every mode but "r" creates a missing file
            }
            open_[nextHandle_] = {file, 0};
            *replyOperation = kFileOpenResult;
            return encoded(nextHandle_++);
        }
        default:
            break;
    }
    const auto openFile = open_.find(number(arguments, 0));
    if (openFile == open_.end()) {
        return status(kInvalidArgument, replyOperation);
    }
    std::string& content = files_[openFile->second.path];
    uint64_t& position = openFile->second.position;
    switch (operation) {
        case kFileRead: {
            const std::string data = position < content.size()
                                         ? content.substr(position, number(arguments, 8))
                                         : std::string();
            position += data.size();
            *replyOperation = kData;
            return data;
        }
        case kFileWrite:
            if (content.size() < position + payload.size()) {
                content.resize(position + payload.size());
            }
            content.replace(position, payload.size(), payload);
            position += payload.size();
            return status(0, replyOperation);
        case kFileSeek:
            position = (number(arguments, 8) == 2 ? content.size() : 0) + number(arguments, 16);
            return status(0, replyOperation);
        case kFileTell:
            *replyOperation = kFileTellResult;
            return encoded(position);
        case kFileClose:
            open_.erase(openFile);
            return status(0, replyOperation);
        default:
            return status(15, replyOperation);
    }
}

}  // namespace standin
