#include "afc/afcfilereference.h"

#include <utility>

#include "device/callfailure.h"
#include "device/mobiledevicecalls.h"

AFCFileReference::~AFCFileReference() {
    if (fileHandle_ != 0)
        close();
}

bool AFCFileReference::reportResult(int code, const char* entryPoint) {
    lastResult_ = code;
    errorText_ = code == 0 ? CZelboString() : callFailureText(entryPoint, code);
    return code == 0;
}

bool AFCFileReference::checkOpen() {
    if (fileHandle_ != 0)
        return true;
    errorText_ = u"File is not open";
    return false;
}

bool AFCFileReference::close() {
    if (!checkOpen())
        return false;
    // The handle is given up even when the close fails: the device may hand its number to
    // another file on this connection, which a second close would then shut.
    const AFCFileRef handle = std::exchange(fileHandle_, 0);
    return reportResult(MobileDevice::AFCFileRefClose(connection_, handle), "AFCFileRefClose");
}

bool AFCFileReference::seekTo(AFCSeekOrigin origin) {
    if (!checkOpen())
        return false;
    return reportResult(MobileDevice::AFCFileRefSeek(connection_, fileHandle_, 0, origin),
                        "AFCFileRefSeek");
}

bool AFCFileReference::seekToOffset(int64_t offset) {
    if (!checkOpen())
        return false;
    return reportResult(
        MobileDevice::AFCFileRefSeek(connection_, fileHandle_, offset, kAFCSeekFromStart),
        "AFCFileRefSeek");
}

int64_t AFCFileReference::tell() {
    if (!checkOpen())
        return -1;
    uint64_t position = 0;
    if (!reportResult(MobileDevice::AFCFileRefTell(connection_, fileHandle_, &position),
                      "AFCFileRefTell")) {
        return -1;
    }
    return static_cast<int64_t>(position);
}

uint32_t AFCFileReference::read(void* buffer, uint32_t length) {
    if (!checkOpen())
        return 0;
    uint32_t count = length;
    if (!reportResult(MobileDevice::AFCFileRefRead(connection_, fileHandle_, buffer, &count),
                      "AFCFileRefRead")) {
        return 0;
    }
    // A library that claims more than was asked for must not make callers overrun the buffer.
    return count <= length ? count : length;
}

bool AFCFileReference::write(const void* buffer, uint32_t length) {
    if (!checkOpen())
        return false;
    if (length == 0)
        return true;
    return reportResult(MobileDevice::AFCFileRefWrite(connection_, fileHandle_, buffer, length),
                        "AFCFileRefWrite");
}

int64_t AFCFileReference::size() {
    if (!seekTo(kAFCSeekFromEnd))
        return -1;
    const int64_t end = tell();
    if (!seekTo(kAFCSeekFromStart)) {
        // Left at the end, every read would look like the end of the file: nothing more is
        // read from it.
        const CZelboString reason = errorText_;
        close();
        errorText_ = reason;
        return -1;
    }
    return end;
}
