#include "afc/copybuffer.h"

#include <sys/mman.h>

#include <algorithm>

namespace {

uint32_t sizeFor(int64_t fileSize) {
    if (fileSize < 0)
        return CopyBuffer::kLargest;
    return static_cast<uint32_t>(
        std::clamp<int64_t>(fileSize, CopyBuffer::kSmallest, CopyBuffer::kLargest));
}

}  // namespace

CopyBuffer::CopyBuffer(int64_t fileSize) : size_(sizeFor(fileSize)), data_(nullptr), mapped_(true) {
    void* pages = mmap(nullptr, size_, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (pages != MAP_FAILED) {
        data_ = static_cast<char*>(pages);
        return;
    }
    mapped_ = false;
    data_ = new char[size_];
}

CopyBuffer::~CopyBuffer() {
    if (mapped_)
        munmap(data_, size_);
    else
        delete[] data_;
}
