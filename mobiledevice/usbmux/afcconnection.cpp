#include "afcconnection.h"

#include "log.h"
#include "results.h"
#include "serviceconnection.h"

#include <algorithm>

namespace plovik::usbmux {

namespace {

// Listings and file information are a few hundred kilobytes at most; anything near this is a
// stream that went wrong, not a reply to allocate for.
constexpr uint64_t kLargestBufferedBody = uint64_t{64} << 20;

std::vector<uint8_t> pathArgument(const char* path) {
    std::vector<uint8_t> arguments;
    appendText(arguments, path);
    return arguments;
}

std::vector<uint8_t> fileArgument(uint64_t file) {
    std::vector<uint8_t> arguments;
    appendUint64(arguments, file);
    return arguments;
}

}  // namespace

AfcConnection::AfcConnection(std::shared_ptr<ServiceConnection> service)
    : service_(std::move(service)) {}

int AfcConnection::fail(int code) {
    broken_ = true;
    return code;
}

int AfcConnection::send(AfcOperation operation, const std::vector<uint8_t>& arguments,
                        const void* payload, size_t payloadLength) {
    AfcHeader header;
    header.thisLength = AfcHeader::kSize + arguments.size();
    header.entireLength = header.thisLength + payloadLength;
    header.packetNumber = ++lastPacketNumber_;
    header.operation = static_cast<uint64_t>(operation);
    // Header and arguments go out in one piece: peers read the header with a single recv.
    std::vector<uint8_t> packet(AfcHeader::kSize);
    header.encode(packet.data());
    packet.insert(packet.end(), arguments.begin(), arguments.end());
    if (service_->send(packet.data(), packet.size()) != static_cast<int64_t>(packet.size())) {
        return fail(kAfcConnectionFailed);
    }
    if (payloadLength > 0 &&
        service_->send(payload, payloadLength) != static_cast<int64_t>(payloadLength)) {
        return fail(kAfcConnectionFailed);
    }
    return kSuccess;
}

int AfcConnection::receiveExactly(void* buffer, size_t length) {
    auto* position = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < length) {
        const int64_t received = service_->receive(position + done, length - done);
        if (received <= 0) {
            return fail(received == 0 ? kAfcNotEnoughData : kAfcConnectionFailed);
        }
        done += static_cast<size_t>(received);
    }
    return kSuccess;
}

int AfcConnection::discard(uint64_t length) {
    uint8_t sink[4096];
    while (length > 0) {
        const auto chunk = static_cast<size_t>(std::min<uint64_t>(length, sizeof sink));
        if (const int result = receiveExactly(sink, chunk); result != kSuccess) {
            return result;
        }
        length -= chunk;
    }
    return kSuccess;
}

int AfcConnection::receiveHeader(AfcHeader* header) {
    uint8_t bytes[AfcHeader::kSize];
    if (const int result = receiveExactly(bytes, sizeof bytes); result != kSuccess) {
        return result;
    }
    *header = AfcHeader::decode(bytes);
    if (header->packetNumber != lastPacketNumber_ || header->thisLength < AfcHeader::kSize ||
        header->entireLength < header->thisLength) {
        logLine("AFC reply out of sequence or malformed (packet %llu for %llu, lengths %llu/%llu)",
                static_cast<unsigned long long>(header->packetNumber),
                static_cast<unsigned long long>(lastPacketNumber_),
                static_cast<unsigned long long>(header->thisLength),
                static_cast<unsigned long long>(header->entireLength));
        return fail(kAfcBadReply);
    }
    return kSuccess;
}

int AfcConnection::request(AfcOperation operation, const std::vector<uint8_t>& arguments,
                           Reply* reply, const void* payload, size_t payloadLength) {
    if (broken_) {
        return kAfcConnectionFailed;
    }
    if (const int result = send(operation, arguments, payload, payloadLength); result != kSuccess) {
        return result;
    }
    AfcHeader header;
    if (const int result = receiveHeader(&header); result != kSuccess) {
        return result;
    }
    // Arguments and payload of a reply are read as one body: some peers put DATA in the
    // argument part, and both places mean the same to every request made here.
    const uint64_t bodyLength = header.entireLength - AfcHeader::kSize;
    if (bodyLength > kLargestBufferedBody) {
        logLine("AFC reply of %llu bytes refused", static_cast<unsigned long long>(bodyLength));
        return fail(kAfcBadReply);
    }
    reply->operation = static_cast<AfcOperation>(header.operation);
    reply->body.resize(static_cast<size_t>(bodyLength));
    return receiveExactly(reply->body.data(), reply->body.size());
}

int AfcConnection::statusOf(const Reply& reply) {
    if (reply.operation != AfcOperation::Status) {
        return kAfcUnexpectedReply;
    }
    if (reply.body.size() < 8) {
        return kAfcBadReply;
    }
    const uint64_t code = readUint64(reply.body.data());
    // A code that does not fit is still a failure, never success.
    return code <= 0x7fffffff ? static_cast<int>(code) : kAfcBadReply;
}

int AfcConnection::readDirectory(const char* path, std::vector<std::string>* names) {
    const std::lock_guard lock(mutex_);
    Reply reply;
    if (const int result = request(AfcOperation::ReadDirectory, pathArgument(path), &reply);
        result != kSuccess) {
        return result;
    }
    if (reply.operation != AfcOperation::Data) {
        const int status = statusOf(reply);
        return status != kSuccess ? status : kAfcUnexpectedReply;
    }
    *names = splitTexts(reply.body);
    return kSuccess;
}

int AfcConnection::fileInfo(const char* path, std::vector<std::string>* keysAndValues) {
    const std::lock_guard lock(mutex_);
    Reply reply;
    if (const int result = request(AfcOperation::GetFileInfo, pathArgument(path), &reply);
        result != kSuccess) {
        return result;
    }
    if (reply.operation != AfcOperation::Data) {
        const int status = statusOf(reply);
        return status != kSuccess ? status : kAfcUnexpectedReply;
    }
    *keysAndValues = splitTexts(reply.body);
    if (keysAndValues->size() % 2 != 0) {
        keysAndValues->pop_back();  // a key without its value
    }
    return kSuccess;
}

int AfcConnection::makeDirectory(const char* path) {
    const std::lock_guard lock(mutex_);
    Reply reply;
    const int result = request(AfcOperation::MakeDirectory, pathArgument(path), &reply);
    return result != kSuccess ? result : statusOf(reply);
}

int AfcConnection::removePath(const char* path) {
    const std::lock_guard lock(mutex_);
    Reply reply;
    const int result = request(AfcOperation::RemovePath, pathArgument(path), &reply);
    return result != kSuccess ? result : statusOf(reply);
}

int AfcConnection::renamePath(const char* from, const char* to) {
    const std::lock_guard lock(mutex_);
    std::vector<uint8_t> arguments = pathArgument(from);
    appendText(arguments, to);
    Reply reply;
    const int result = request(AfcOperation::RenamePath, arguments, &reply);
    return result != kSuccess ? result : statusOf(reply);
}

int AfcConnection::openFile(const char* path, uint64_t mode, uint64_t* file) {
    const std::lock_guard lock(mutex_);
    std::vector<uint8_t> arguments;
    appendUint64(arguments, mode);
    appendText(arguments, path);
    Reply reply;
    if (const int result = request(AfcOperation::FileOpen, arguments, &reply); result != kSuccess) {
        return result;
    }
    if (reply.operation != AfcOperation::FileOpenResult) {
        const int status = statusOf(reply);
        return status != kSuccess ? status : kAfcUnexpectedReply;
    }
    if (reply.body.size() < 8 || readUint64(reply.body.data()) == 0) {
        return kAfcBadReply;  // no usable handle: not an open file
    }
    *file = readUint64(reply.body.data());
    return kSuccess;
}

int AfcConnection::readChunk(uint64_t file, uint8_t* buffer, uint32_t length, uint32_t* received) {
    std::vector<uint8_t> arguments = fileArgument(file);
    appendUint64(arguments, length);
    if (const int result = send(AfcOperation::FileRead, arguments, nullptr, 0);
        result != kSuccess) {
        return result;
    }
    AfcHeader header;
    if (const int result = receiveHeader(&header); result != kSuccess) {
        return result;
    }
    const uint64_t bodyLength = header.entireLength - AfcHeader::kSize;
    if (static_cast<AfcOperation>(header.operation) != AfcOperation::Data) {
        if (bodyLength > kLargestBufferedBody) {
            return fail(kAfcBadReply);
        }
        Reply reply{static_cast<AfcOperation>(header.operation),
                    std::vector<uint8_t>(static_cast<size_t>(bodyLength))};
        if (const int result = receiveExactly(reply.body.data(), reply.body.size());
            result != kSuccess) {
            return result;
        }
        const int status = statusOf(reply);
        return status != kSuccess ? status : kAfcUnexpectedReply;
    }
    // The data goes straight into the caller's buffer; more than was asked for is dropped.
    const auto taken = static_cast<uint32_t>(std::min<uint64_t>(bodyLength, length));
    if (bodyLength - taken > kLargestBufferedBody) {
        return fail(kAfcBadReply);
    }
    if (const int result = receiveExactly(buffer, taken); result != kSuccess) {
        return result;
    }
    *received = taken;
    return discard(bodyLength - taken);
}

int AfcConnection::readFile(uint64_t file, void* buffer, uint32_t* length) {
    const std::lock_guard lock(mutex_);
    if (broken_) {
        return kAfcConnectionFailed;
    }
    auto* bytes = static_cast<uint8_t*>(buffer);
    uint32_t total = 0;
    while (total < *length) {
        uint32_t received = 0;
        const int result = readChunk(file, bytes + total, *length - total, &received);
        if (result != kSuccess) {
            // Bytes already in the buffer are the caller's; the failure shows on the next call.
            if (total > 0 && !broken_) {
                break;
            }
            return result;
        }
        if (received == 0) {
            break;
        }
        total += received;
    }
    *length = total;
    return kSuccess;
}

int AfcConnection::writeFile(uint64_t file, const void* bytes, uint32_t length) {
    const std::lock_guard lock(mutex_);
    Reply reply;
    const int result = request(AfcOperation::FileWrite, fileArgument(file), &reply, bytes, length);
    return result != kSuccess ? result : statusOf(reply);
}

int AfcConnection::seekFile(uint64_t file, int64_t offset, uint64_t whence) {
    const std::lock_guard lock(mutex_);
    std::vector<uint8_t> arguments = fileArgument(file);
    appendUint64(arguments, whence);
    appendUint64(arguments, static_cast<uint64_t>(offset));
    Reply reply;
    const int result = request(AfcOperation::FileSeek, arguments, &reply);
    return result != kSuccess ? result : statusOf(reply);
}

int AfcConnection::tellFile(uint64_t file, uint64_t* position) {
    const std::lock_guard lock(mutex_);
    Reply reply;
    if (const int result = request(AfcOperation::FileTell, fileArgument(file), &reply);
        result != kSuccess) {
        return result;
    }
    if (reply.operation != AfcOperation::FileTellResult) {
        const int status = statusOf(reply);
        return status != kSuccess ? status : kAfcUnexpectedReply;
    }
    if (reply.body.size() < 8) {
        return kAfcBadReply;
    }
    *position = readUint64(reply.body.data());
    return kSuccess;
}

int AfcConnection::closeFile(uint64_t file) {
    const std::lock_guard lock(mutex_);
    Reply reply;
    const int result = request(AfcOperation::FileClose, fileArgument(file), &reply);
    return result != kSuccess ? result : statusOf(reply);
}

}  // namespace plovik::usbmux
