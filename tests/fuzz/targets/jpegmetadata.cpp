// A JPEG file's segments up to its frame header: the stored size, the Exif orientation and the
// Exif thumbnail, read through an image file in memory.
#include "thumbs/jpegmetadata.h"
#include "fuzztargets.h"
#include "thumbs/memoryimagefile.h"

void fuzzJpegMetadata(const uint8_t* data, size_t size) {
    MemoryImageFile file({data, size});
    const auto metadata = readJpegMetadata(file);
    if (!metadata)
        return;
    fuzzCheck(metadata->orientation >= 1 && metadata->orientation <= 8, "orientation 1 to 8");
    fuzzCheck(metadata->exifThumbnail.size() <= size, "the Exif thumbnail lies in the file");
    fuzzCheck(metadata->stored.width >= 0 && metadata->stored.height >= 0, "sizes not negative");
}
