#pragma once

#include <chrono>
#include <cstdint>

#include "thumbs/imagefile.h"

struct AVIOContext;

/**
 * FFmpeg's view of an ImageFile (an AVIOContext reading and seeking it), within bounds: reads
 * end with an error once they have taken the allowance of bytes, or once the deadline has passed,
 * so that no file makes a reader take more of a device or more time than it is given. Used by one
 * thread at a time; the file must outlive it.
 */
class VideoInput {
public:
    using Clock = std::chrono::steady_clock;

    VideoInput(ImageFile& file, uint64_t allowance, Clock::time_point deadline);
    ~VideoInput();
    VideoInput(const VideoInput&) = delete;
    VideoInput& operator=(const VideoInput&) = delete;

    /** Null when it could not be made. */
    AVIOContext* context() const { return context_; }
    /** The bytes read so far may grow by this many more. */
    void allowMore(uint64_t bytes) { allowance_ = bytesRead_ + bytes; }
    uint64_t bytesRead() const { return bytesRead_; }
    bool pastDeadline() const { return Clock::now() >= deadline_; }

private:
    static int read(void* self, uint8_t* into, int size);
    static int64_t seek(void* self, int64_t offset, int whence);

    ImageFile& file_;
    uint64_t allowance_;
    Clock::time_point deadline_;
    uint64_t position_ = 0;
    uint64_t bytesRead_ = 0;
    AVIOContext* context_ = nullptr;
};
