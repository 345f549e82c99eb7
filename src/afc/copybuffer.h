#pragma once

#include <cstdint>

/**
 * The buffer one file's copy passes its chunks through, sized for the file: a chunk, or the whole
 * of a smaller file. Its pages are made in one call when it is mapped; faulted in one by one as
 * the first chunk fills it, a megabyte costs a few milliseconds on a virtual machine, at the start
 * of every file's copy.
 */
class CopyBuffer {
public:
    /** Large chunks: every chunk is one request to the device. */
    static constexpr uint32_t kLargest = 1u << 20;
    static constexpr uint32_t kSmallest = 64u << 10;

    /** Room for fileSize bytes (unknown when negative), kept within kSmallest and kLargest. */
    explicit CopyBuffer(int64_t fileSize);
    ~CopyBuffer();
    CopyBuffer(const CopyBuffer&) = delete;
    CopyBuffer& operator=(const CopyBuffer&) = delete;

    char* data() const { return data_; }
    uint32_t size() const { return size_; }

private:
    uint32_t size_;
    char* data_;
    bool mapped_;
};
