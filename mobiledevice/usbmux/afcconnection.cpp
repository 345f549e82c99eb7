#include "afcconnection.h"

#include "afcfileinforeads.h"
#include "afcrequestwindow.h"
#include "afcwholefilereads.h"
#include "afcwholefilewrites.h"
#include "log.h"
#include "results.h"
#include "serviceconnection.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace plovik::usbmux {

namespace {

// Listings and file information are a few hundred kilobytes at most; anything near this is a
// stream that went wrong, not a reply to allocate for.
constexpr uint64_t kLargestBufferedBody = uint64_t{64} << 20;
// Requests of a stream on the way at once, reckoned with the replies they bring: enough to keep
// a USB 3 link busy through its latency, few enough that the device's and the mux's buffers hold
// every reply not yet taken in, so that neither side's sends wait for the other's reads.
constexpr size_t kBytesInFlight = 128 << 10;

}  // namespace

AfcConnection::AfcConnection(std::shared_ptr<ServiceConnection> service)
    : service_(service), receiver_(std::move(service)) {}

int AfcConnection::fail(int code) {
    broken_ = true;
    return code;
}

void AfcConnection::appendPacket(std::vector<uint8_t>& packets, AfcOperation operation,
                                 const std::vector<uint8_t>& arguments, size_t payloadLength) {
    AfcHeader header;
    header.thisLength = AfcHeader::kSize + arguments.size();
    header.entireLength = header.thisLength + payloadLength;
    header.packetNumber = ++lastPacketNumber_;
    header.operation = static_cast<uint64_t>(operation);
    const size_t start = packets.size();
    packets.resize(start + AfcHeader::kSize);
    header.encode(packets.data() + start);
    packets.insert(packets.end(), arguments.begin(), arguments.end());
}

int AfcConnection::send(AfcOperation operation, const std::vector<uint8_t>& arguments,
                        const void* payload, size_t payloadLength) {
    // Header and arguments go out in one piece: peers read the header with a single recv.
    std::vector<uint8_t> packet;
    appendPacket(packet, operation, arguments, payloadLength);
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
    const int result = receiver_.receiveExactly(buffer, length);
    return result == kSuccess ? kSuccess : fail(result);
}

int AfcConnection::discard(uint64_t length) {
    const int result = receiver_.discard(length);
    return result == kSuccess ? kSuccess : fail(result);
}

int AfcConnection::receiveHeader(AfcHeader* header, std::optional<uint64_t> packetNumber) {
    uint8_t bytes[AfcHeader::kSize];
    if (const int result = receiveExactly(bytes, sizeof bytes); result != kSuccess) {
        return result;
    }
    *header = AfcHeader::decode(bytes);
    if ((packetNumber && header->packetNumber != *packetNumber) ||
        header->thisLength < AfcHeader::kSize || header->entireLength < header->thisLength) {
        logLine("AFC reply out of sequence or malformed (packet %llu for %llu, lengths %llu/%llu)",
                static_cast<unsigned long long>(header->packetNumber),
                static_cast<unsigned long long>(packetNumber.value_or(header->packetNumber)),
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
    // Sent before the replies still on the way are taken in: the device answers in order, and
    // this request need not wait out their round trip.
    if (const int result = send(operation, arguments, payload, payloadLength); result != kSuccess) {
        return result;
    }
    const uint64_t packetNumber = lastPacketNumber_;
    if (const int result = settlePending(); result != kSuccess) {
        return result;
    }
    return receiveReply(reply, packetNumber);
}

int AfcConnection::receiveReply(Reply* reply, std::optional<uint64_t> packetNumber) {
    AfcHeader header;
    if (const int result = receiveHeader(&header, packetNumber); result != kSuccess) {
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
    reply->packetNumber = header.packetNumber;
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
    *keysAndValues = splitKeysAndValues(reply.body);
    return kSuccess;
}

void AfcConnection::fallBackToOneRequestAtATime(const char* reason) {
    if (!oneAtATime_) {
        logLine("AFC device %s: one request at a time on this connection from now on", reason);
        oneAtATime_ = true;
    }
}

template <typename Stream, typename Handler>
int AfcConnection::runStream(Stream& stream, const Handler& finished) {
    using Kind = typename Stream::Kind;
    AfcRequestWindow window(kBytesInFlight);
    std::vector<uint8_t> batch;
    while (stream.hasNext() || !window.empty()) {
        // Every request that fits goes out in one send, before the replies on the way are read.
        batch.clear();
        const bool topUp = window.empty() || (!oneAtATime_ && window.wantsMore());
        while (topUp && stream.hasNext() && (window.empty() || !oneAtATime_)) {
            const auto& request = stream.next();
            const size_t cost = AfcHeader::kSize + request.arguments.size() +
                                request.payloadLength + request.replyCost;
            if (!window.fits(cost)) {
                break;
            }
            appendPacket(batch, request.operation, request.arguments, request.payloadLength);
            batch.insert(batch.end(), request.payload, request.payload + request.payloadLength);
            window.add(lastPacketNumber_, request.file, cost, static_cast<uint8_t>(request.kind));
            stream.pop();
        }
        if (!batch.empty() &&
            service_->send(batch.data(), batch.size()) != static_cast<int64_t>(batch.size())) {
            return fail(kAfcConnectionFailed);
        }
        Reply reply;
        if (const int result = receiveReply(&reply, std::nullopt); result != kSuccess) {
            return result;
        }
        const auto answered = window.take(reply.packetNumber);
        if (!answered) {
            logLine("AFC reply to packet %llu, which no request on the way has",
                    static_cast<unsigned long long>(reply.packetNumber));
            return fail(kAfcBadReply);
        }
        if (answered->outOfOrder) {
            fallBackToOneRequestAtATime("answered out of order");
        }
        const auto kind = static_cast<Kind>(answered->request.kind);
        const bool carriesData = reply.operation == Stream::replyWithData(kind) &&
                                 reply.operation != AfcOperation::Status;
        auto answer = stream.answer(answered->request.index, kind, carriesData,
                                    carriesData ? kSuccess : statusOf(reply), reply.body,
                                    answered->request.sentAhead, answered->outOfOrder);
        if (answer.refusedInFlight) {
            fallBackToOneRequestAtATime("failed a request sent ahead");
        }
        if (answer.finished) {
            finished(*answer.finished);
        }
    }
    return kSuccess;
}

template <typename Stream, typename Handler, typename... Sources>
int AfcConnection::streamEach(size_t count, const Handler& finished, const Sources&... sources) {
    const std::lock_guard lock(mutex_);
    if (broken_) {
        return kAfcConnectionFailed;
    }
    if (const int result = settlePending(); result != kSuccess) {
        return result;
    }
    std::vector<size_t> all(count);
    std::iota(all.begin(), all.end(), size_t{0});
    // What the device refused in flight is done again once the stream is through, by then one
    // request at a time, when nothing is sent ahead to be refused.
    Stream stream(sources..., std::move(all));
    if (const int result = runStream(stream, finished); result != kSuccess) {
        return result;
    }
    Stream again(sources..., stream.toDoAgain());
    if (const int result = runStream(again, finished); result != kSuccess) {
        return result;
    }
    for (const size_t item : again.toDoAgain()) {
        typename Stream::Finished givenUp = Stream::givenUp(item);
        finished(givenUp);
    }
    return kSuccess;
}

int AfcConnection::fileInfoOfEach(const std::vector<const char*>& paths, const InfoHandler& found) {
    const auto handOver = [&](AfcFileInfoReads::Finished& file) {
        found(file.file, file.result, file.keysAndValues);
    };
    return streamEach<AfcFileInfoReads>(paths.size(), handOver, paths);
}

int AfcConnection::wholeFilesOfEach(const std::vector<const char*>& paths,
                                    const std::vector<uint64_t>& expectedSizes, uint64_t largest,
                                    const ContentsHandler& arrived) {
    const auto handOver = [&](AfcWholeFileReads::Finished& file) {
        arrived(file.file, file.result, file.contents);
    };
    return streamEach<AfcWholeFileReads>(paths.size(), handOver, paths, expectedSizes, largest);
}

int AfcConnection::wholeFilesWritten(const std::vector<AfcWholeFileWrites::File>& files,
                                     const WrittenHandler& written) {
    const auto handOver = [&](const AfcWholeFileWrites::Finished& file) {
        written(file.file, file.result, file.stagedLeft);
    };
    return streamEach<AfcWholeFileWrites>(files.size(), handOver, files);
}

int AfcConnection::filePartsOfEach(const std::vector<AfcFilePartReads::Part>& parts,
                                   const PartHandler& arrived) {
    const auto handOver = [&](AfcFilePartReads::Finished& part) {
        arrived(part.file, part.result, part.size, part.bytes);
    };
    return streamEach<AfcFilePartReads>(parts.size(), handOver, parts);
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

int AfcConnection::setFileTime(const char* path, uint64_t nanoseconds) {
    const std::lock_guard lock(mutex_);
    std::vector<uint8_t> arguments;
    appendUint64(arguments, nanoseconds);
    appendText(arguments, path);
    Reply reply;
    const int result = request(AfcOperation::SetFileTime, arguments, &reply);
    return result != kSuccess ? result : statusOf(reply);
}

int AfcConnection::openFile(const char* path, uint64_t mode, uint64_t* file) {
    const std::lock_guard lock(mutex_);
    Reply reply;
    if (const int result = request(AfcOperation::FileOpen, openArguments(mode, path), &reply);
        result != kSuccess) {
        return result;
    }
    if (reply.operation != AfcOperation::FileOpenResult) {
        const int status = statusOf(reply);
        return status != kSuccess ? status : kAfcUnexpectedReply;
    }
    const std::optional<uint64_t> handle = openedHandle(reply.body);
    if (!handle) {
        return kAfcBadReply;  // no usable handle: not an open file
    }
    *file = *handle;
    if (mode == kAfcReadOnlyMode) {
        readOnlyFiles_.insert(*file);
    } else {
        readOnlyFiles_.erase(*file);
    }
    return kSuccess;
}

int AfcConnection::receiveRead(uint8_t* buffer, uint32_t length, uint32_t* received,
                               uint64_t packetNumber, uint64_t file, uint32_t aheadLength) {
    AfcHeader header;
    if (const int result = receiveHeader(&header, packetNumber); result != kSuccess) {
        return result;
    }
    const uint64_t bodyLength = header.entireLength - AfcHeader::kSize;
    if (static_cast<AfcOperation>(header.operation) != AfcOperation::Data) {
        if (bodyLength > kLargestBufferedBody) {
            return fail(kAfcBadReply);
        }
        Reply reply{static_cast<AfcOperation>(header.operation), header.packetNumber,
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
    // Sent while this reply still crosses, the next read is answered right behind it.
    if (aheadLength > 0 && taken == length) {
        if (const int result =
                send(AfcOperation::FileRead, readArguments(file, aheadLength), nullptr, 0);
            result != kSuccess) {
            return result;
        }
        ahead_ = {};
        ahead_.file = file;
        ahead_.length = aheadLength;
        ahead_.packetNumber = lastPacketNumber_;
        ahead_.onTheWay = true;
    }
    if (const int result = receiveExactly(buffer, taken); result != kSuccess) {
        return result;
    }
    *received = taken;
    return discard(bodyLength - taken);
}

int AfcConnection::readChunk(uint64_t file, uint8_t* buffer, uint32_t length, uint32_t* received,
                             uint32_t aheadLength) {
    if (ahead_.file == file && ahead_.onTheWay && ahead_.length <= length) {
        // Its request went out with the last reply; only the answer is left to take in.
        const ReadAhead sent = std::exchange(ahead_, {});
        return receiveRead(buffer, sent.length, received, sent.packetNumber, file,
                           sent.length == length ? aheadLength : 0);
    }
    if (const int result = send(AfcOperation::FileRead, readArguments(file, length), nullptr, 0);
        result != kSuccess) {
        return result;
    }
    return receiveRead(buffer, length, received, lastPacketNumber_, file, aheadLength);
}

int AfcConnection::settlePending() {
    if (const int result = settleWriteBehind(); result != kSuccess) {
        return result;
    }
    return settleReadAhead();
}

int AfcConnection::settleReadAhead() {
    if (!ahead_.onTheWay) {
        return kSuccess;
    }
    if (broken_) {
        return kAfcConnectionFailed;
    }
    ahead_.onTheWay = false;
    ahead_.held.resize(ahead_.length);
    ahead_.handedOut = 0;
    uint32_t received = 0;
    const int result =
        receiveRead(ahead_.held.data(), ahead_.length, &received, ahead_.packetNumber);
    if (broken_) {
        ahead_ = {};
        return result;
    }
    ahead_.held.resize(result == kSuccess ? received : 0);
    ahead_.result = result;
    return kSuccess;
}

int AfcConnection::settleWriteBehind() {
    if (!behind_.onTheWay) {
        return kSuccess;
    }
    if (broken_) {
        return kAfcConnectionFailed;
    }
    const WriteBehind sent = std::exchange(behind_, {});
    Reply reply;
    if (const int result = receiveReply(&reply, sent.packetNumber); result != kSuccess) {
        return result;
    }
    if (const int status = statusOf(reply); status != kSuccess) {
        writeFailures_.emplace(sent.file, status);
    }
    return kSuccess;
}

int AfcConnection::readFile(uint64_t file, void* buffer, uint32_t* length) {
    const std::lock_guard lock(mutex_);
    if (broken_) {
        return kAfcConnectionFailed;
    }
    auto* bytes = static_cast<uint8_t*>(buffer);
    uint32_t total = 0;
    bool ended = false;
    const bool waitingForThis = ahead_.file == file && ahead_.onTheWay && ahead_.length <= *length;
    if (const int result = waitingForThis ? settleWriteBehind() : settlePending();
        result != kSuccess) {
        return result;
    }
    if (ahead_.file == file && !ahead_.onTheWay && ahead_.active()) {
        if (ahead_.heldBack() == 0 && ahead_.result != kSuccess) {
            return std::exchange(ahead_, {}).result;
        }
        total = static_cast<uint32_t>(std::min<size_t>(ahead_.heldBack(), *length));
        std::copy_n(ahead_.held.begin() + static_cast<std::ptrdiff_t>(ahead_.handedOut), total,
                    bytes);
        ahead_.handedOut += total;
        ended = ahead_.held.empty();
        if (ahead_.heldBack() == 0) {
            ahead_ = {};
        }
    }
    // A caller that fills its buffer most likely asks for the next one as soon as it has written
    // this one away: that read is sent early, for a file nobody else moves the position of.
    const bool readsAhead = readOnlyFiles_.count(file) != 0 && !oneAtATime_;
    while (!ended && total < *length) {
        const bool mayReadAhead = readsAhead && (!ahead_.active() || ahead_.file == file);
        uint32_t received = 0;
        const int result =
            readChunk(file, bytes + total, *length - total, &received, mayReadAhead ? *length : 0);
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
    if (broken_) {
        return kAfcConnectionFailed;
    }
    // Once the device refused a write, the file is broken off there: nothing more is sent.
    if (const auto failed = writeFailures_.find(file); failed != writeFailures_.end()) {
        return failed->second;
    }
    // The status of this file's last write crosses while this one is sent; anything else
    // pending comes first.
    const bool followsOwnWrite = behind_.onTheWay && behind_.file == file;
    if (const int result = followsOwnWrite ? settleReadAhead() : settlePending();
        result != kSuccess) {
        return result;
    }
    if (const int result = send(AfcOperation::FileWrite, handleArgument(file), bytes, length);
        result != kSuccess) {
        return result;
    }
    const WriteBehind sent{file, lastPacketNumber_, true};
    if (const int result = settleWriteBehind(); result != kSuccess) {
        return result;
    }
    behind_ = sent;
    if (oneAtATime_) {
        if (const int result = settleWriteBehind(); result != kSuccess) {
            return result;
        }
    }
    const auto failed = writeFailures_.find(file);
    return failed != writeFailures_.end() ? failed->second : kSuccess;
}

int AfcConnection::seekFile(uint64_t file, int64_t offset, uint64_t whence) {
    const std::lock_guard lock(mutex_);
    std::vector<uint8_t> arguments = handleArgument(file);
    appendUint64(arguments, whence);
    appendUint64(arguments, static_cast<uint64_t>(offset));
    Reply reply;
    const int result = request(AfcOperation::FileSeek, arguments, &reply);
    const int status = result != kSuccess ? result : statusOf(reply);
    // What was read ahead lies where the file was; a seek that failed left it there.
    if (status == kSuccess && ahead_.file == file) {
        ahead_ = {};
    }
    return status;
}

int AfcConnection::tellFile(uint64_t file, uint64_t* position) {
    const std::lock_guard lock(mutex_);
    Reply reply;
    if (const int result = request(AfcOperation::FileTell, handleArgument(file), &reply);
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
    // The device's position is past what was read ahead and not yet handed out.
    const uint64_t device = readUint64(reply.body.data());
    const uint64_t readAhead = ahead_.file == file ? ahead_.heldBack() : 0;
    *position = device >= readAhead ? device - readAhead : 0;
    return kSuccess;
}

int AfcConnection::closeFile(uint64_t file) {
    const std::lock_guard lock(mutex_);
    readOnlyFiles_.erase(file);
    Reply reply;
    const int result = request(AfcOperation::FileClose, handleArgument(file), &reply);
    if (ahead_.file == file) {
        ahead_ = {};
    }
    // A write the device refused after its call returned fails the close in its place.
    const auto failed = writeFailures_.find(file);
    const int writeFailure = failed != writeFailures_.end() ? failed->second : kSuccess;
    if (failed != writeFailures_.end()) {
        writeFailures_.erase(failed);
    }
    if (result != kSuccess) {
        return result;
    }
    return writeFailure != kSuccess ? writeFailure : statusOf(reply);
}

}  // namespace plovik::usbmux
