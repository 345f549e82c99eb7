#include "thumbs/deviceimagefile.h"

#include <algorithm>

#include "afc/afcdirectory.h"
#include "afc/afcfilereference.h"
#include "fstree/filesystemnode.h"
#include "fstree/filesystemnodedelegate.h"

namespace {

// Large enough for a link's full speed, small enough that a stop is noticed quickly.
constexpr uint64_t kReadChunk = 1024 * 1024;

}  // namespace

DeviceImageFile::DeviceImageFile(ZelboLib::FileSystemNodeDelegate* delegate)
    : delegate_(delegate) {}

DeviceImageFile::~DeviceImageFile() = default;

bool DeviceImageFile::open(ZelboLib::FileSystemNode& node, uint64_t expectedSize) {
    connection_ = node.directory();
    if (!connection_)
        return fail();
    file_ = connection_->openForReading(node.fullPath());
    if (!file_)
        return fail();
    const int64_t size = file_->size();
    if (size < 0 || static_cast<uint64_t>(size) != expectedSize)
        return fail();
    size_ = expectedSize;
    return true;
}

bool DeviceImageFile::read(uint64_t offset, std::span<uint8_t> into) {
    if (failed_ || !file_ || offset > size_ || into.size() > size_ - offset)
        return false;
    if (offset != position_) {
        if (!file_->seekToOffset(static_cast<int64_t>(offset)))
            return fail();
        position_ = offset;
    }
    size_t filled = 0;
    while (filled < into.size()) {
        if (delegate_ != nullptr && !delegate_->shouldContinueReading())
            return fail();
        const auto wanted =
            static_cast<uint32_t>(std::min<uint64_t>(kReadChunk, into.size() - filled));
        const uint32_t count = file_->read(into.data() + filled, wanted);
        // The file ended before the size it had when opened, or the read failed.
        if (count == 0)
            return fail();
        filled += count;
        position_ += count;
        bytesRead_ += count;
        if (delegate_ != nullptr)
            delegate_->readProgress(static_cast<int64_t>(size_), static_cast<int64_t>(bytesRead_));
    }
    return true;
}

bool DeviceImageFile::fail() {
    failed_ = true;
    return false;
}
