#include "thumbs/videoinput.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstdio>
#include <span>

namespace {

// Small enough that a seek throws little away; the read-ahead below gathers them into blocks.
constexpr int kBufferSize = 32 * 1024;

VideoInput& of(void* self) { return *static_cast<VideoInput*>(self); }

}  // namespace

VideoInput::VideoInput(ImageFile& file, uint64_t allowance, Clock::time_point deadline)
    : file_(file), allowance_(allowance), deadline_(deadline) {
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    if (buffer == nullptr)
        return;
    context_ = avio_alloc_context(buffer, kBufferSize, 0, this, &VideoInput::read, nullptr,
                                  &VideoInput::seek);
    if (context_ == nullptr)
        av_free(buffer);
}

VideoInput::~VideoInput() {
    if (context_ == nullptr)
        return;
    // FFmpeg may have replaced the buffer it was given.
    av_freep(&context_->buffer);
    avio_context_free(&context_);
}

int VideoInput::read(void* self, uint8_t* into, int size) {
    VideoInput& input = of(self);
    if (input.pastDeadline())
        return AVERROR_EXIT;
    if (input.position_ >= input.file_.size())
        return AVERROR_EOF;
    if (size <= 0 || input.bytesRead_ >= input.allowance_)
        return AVERROR(EIO);
    const auto count = static_cast<size_t>(
        std::min({static_cast<uint64_t>(size), input.file_.size() - input.position_,
                  input.allowance_ - input.bytesRead_}));
    if (!input.file_.read(input.position_, std::span(into, count)))
        return AVERROR(EIO);
    input.position_ += count;
    input.bytesRead_ += count;
    return static_cast<int>(count);
}

int64_t VideoInput::seek(void* self, int64_t offset, int whence) {
    VideoInput& input = of(self);
    const auto size = static_cast<int64_t>(input.file_.size());
    if (whence == AVSEEK_SIZE)
        return size;
    int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            break;
        case SEEK_CUR:
            base = static_cast<int64_t>(input.position_);
            break;
        case SEEK_END:
            base = size;
            break;
        default:
            return AVERROR(EINVAL);
    }
    // Offsets are the file's, far below the limits of 64 bits; a hostile one is refused.
    if (offset < -base || offset > size - base)
        return AVERROR(EINVAL);
    input.position_ = static_cast<uint64_t>(base + offset);
    return base + offset;
}
