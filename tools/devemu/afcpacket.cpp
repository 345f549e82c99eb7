#include "afcpacket.h"

#include "socketio.h"

#include <cstdio>
#include <cstring>

namespace plovik::devemu {

namespace {

constexpr std::size_t kHeaderSize = 40;
constexpr char kMagic[] = "CFA6LPAA";
// Writes larger than this are not something a client sends; refuse them rather than allocate.
constexpr uint64_t kLargestPacket = 256ULL << 20;

std::string encoded(uint64_t value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

}  // namespace

std::string afcOperationName(uint64_t operation) {
    switch (operation) {
        case kAfcStatus:
            return "Status";
        case kAfcData:
            return "Data";
        case kAfcReadDirectory:
            return "ReadDirectory";
        case kAfcRemovePath:
            return "RemovePath";
        case kAfcMakeDirectory:
            return "MakeDirectory";
        case kAfcGetFileInfo:
            return "GetFileInfo";
        case kAfcGetDeviceInfo:
            return "GetDeviceInfo";
        case kAfcFileOpen:
            return "FileOpen";
        case kAfcFileRead:
            return "FileRead";
        case kAfcFileWrite:
            return "FileWrite";
        case kAfcFileSeek:
            return "FileSeek";
        case kAfcFileTell:
            return "FileTell";
        case kAfcFileClose:
            return "FileClose";
        case kAfcRenamePath:
            return "RenamePath";
        default: {
            char name[32];
            std::snprintf(name, sizeof name, "Op0x%llx",
                          static_cast<unsigned long long>(operation));
            return name;
        }
    }
}

uint64_t AfcRequest::number(std::size_t offset) const {
    uint64_t value = 0;
    if (arguments.size() >= offset + sizeof value) {
        std::memcpy(&value, arguments.data() + offset, sizeof value);
    }
    return value;
}

std::string AfcRequest::text(std::size_t offset) const {
    if (offset >= arguments.size()) {
        return {};
    }
    const std::size_t end = arguments.find('\0', offset);
    return arguments.substr(offset, end == std::string::npos ? end : end - offset);
}

AfcReply AfcReply::status(uint64_t code) {
    return {kAfcStatus, encoded(code)};
}

AfcReply AfcReply::number(uint64_t operation, uint64_t value) {
    return {operation, encoded(value)};
}

bool receiveAfcRequest(int socket, AfcRequest& request) {
    char header[kHeaderSize];
    if (!readExactly(socket, header, sizeof header)) {
        return false;
    }
    uint64_t fields[4];
    std::memcpy(fields, header + 8, sizeof fields);
    const auto [entireLength, thisLength, packetNumber, operation] = fields;
    if (thisLength < kHeaderSize || entireLength < thisLength || entireLength > kLargestPacket) {
        return false;
    }
    request.packetNumber = packetNumber;
    request.operation = operation;
    request.arguments.assign(thisLength - kHeaderSize, '\0');
    request.payload.assign(entireLength - thisLength, '\0');
    return readExactly(socket, request.arguments.data(), request.arguments.size()) &&
           readExactly(socket, request.payload.data(), request.payload.size());
}

AfcParse parseAfcRequest(std::string_view bytes, AfcRequest& request, std::size_t& used) {
    if (bytes.size() < kHeaderSize) {
        return AfcParse::Incomplete;
    }
    uint64_t fields[4];
    std::memcpy(fields, bytes.data() + 8, sizeof fields);
    const auto [entireLength, thisLength, packetNumber, operation] = fields;
    if (thisLength < kHeaderSize || entireLength < thisLength || entireLength > kLargestPacket) {
        return AfcParse::Invalid;
    }
    if (bytes.size() < entireLength) {
        return AfcParse::Incomplete;
    }
    request.packetNumber = packetNumber;
    request.operation = operation;
    request.arguments.assign(bytes.substr(kHeaderSize, thisLength - kHeaderSize));
    request.payload.assign(bytes.substr(thisLength, entireLength - thisLength));
    used = entireLength;
    return AfcParse::Complete;
}

std::string encodeAfcReply(uint64_t packetNumber, const AfcReply& reply) {
    const uint64_t entireLength = kHeaderSize + reply.body.size();
    const uint64_t thisLength = reply.operation == kAfcData ? kHeaderSize : entireLength;
    std::string packet(kMagic, sizeof kMagic - 1);
    packet += encoded(entireLength);
    packet += encoded(thisLength);
    packet += encoded(packetNumber);
    packet += encoded(reply.operation);
    packet += reply.body;
    return packet;
}

}  // namespace plovik::devemu
