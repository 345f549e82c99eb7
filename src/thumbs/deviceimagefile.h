#pragma once

#include <memory>

#include "thumbs/imagefile.h"
#include "values/object.h"

class AFCDirectory;
class AFCFileReference;

namespace ZelboLib {
class FileSystemNode;
class FileSystemNodeDelegate;
}  // namespace ZelboLib

/**
 * A device file opened for reading at any offset. Each read asks the delegate (when given)
 * whether to go on before every request to the device and tells it the bytes read so far
 * against the file's size after each. Used by one thread at a time.
 */
class DeviceImageFile : public ImageFile {
public:
    /** The delegate, when given, must outlive it. */
    explicit DeviceImageFile(ZelboLib::FileSystemNodeDelegate* delegate);
    ~DeviceImageFile() override;

    /**
     * Opens node's file; false when it cannot be opened or when its size on the device is not
     * expectedSize (it changed since it was listed).
     */
    bool open(ZelboLib::FileSystemNode& node, uint64_t expectedSize);

    uint64_t size() const override { return size_; }
    bool read(uint64_t offset, std::span<uint8_t> into) override;
    /** The bytes read from the device so far. */
    uint64_t bytesRead() const { return bytesRead_; }

private:
    bool fail();

    ZelboLib::FileSystemNodeDelegate* delegate_;
    // Declared before the file: the file must be closed before the connection may go.
    std::shared_ptr<AFCDirectory> connection_;
    ZelboLib::Owned<AFCFileReference> file_;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
    uint64_t bytesRead_ = 0;
    bool failed_ = false;
};
