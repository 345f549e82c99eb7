#pragma once

#include <cstdint>

#include "device/mobiledevice.h"
#include "values/object.h"

/**
 * One open file on the device. Keeps the raw connection of the AFCDirectory that opened it, which
 * must outlive it; releasing the object closes the file. Used by one thread at a time.
 */
class AFCFileReference : public ZelboLib::Object {
public:
    AFCFileReference(CZelboString path, AFCFileRef handle, AFCConnectionRef connection)
        : fileHandle_(handle), connection_(connection), path_(std::move(path)) {}
    ~AFCFileReference() override;

    bool close();
    /** Moves to the start (kAFCSeekFromStart) or the end (kAFCSeekFromEnd). */
    bool seekTo(AFCSeekOrigin origin);
    /** Moves to offset bytes from the start. */
    bool seekToOffset(int64_t offset);
    /** The position, or -1. */
    int64_t tell();
    /** Bytes read into buffer; 0 at the end of the file and on failure (errorText tells). */
    uint32_t read(void* buffer, uint32_t length);
    bool write(const void* buffer, uint32_t length);
    /**
     * The size (seek to the end, tell, back to the start), or -1 when unknown. A file that
     * cannot return to its start is closed, so its reads fail rather than end early.
     */
    int64_t size();

    CZelboString errorText() const { return errorText_; }
    /** The device's answer to the last call; 0 after a success. */
    int lastResult() const { return lastResult_; }
    const CZelboString& path() const { return path_; }
    bool isOpen() const { return fileHandle_ != 0; }

private:
    bool reportResult(int code, const char* entryPoint);
    bool checkOpen();

    AFCFileRef fileHandle_;
    AFCConnectionRef connection_;
    CZelboString errorText_;
    int lastResult_ = 0;
    CZelboString path_;
};
