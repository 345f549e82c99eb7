// The thumbnail reader over a file in memory: HEIF through its thumbnail item or libheif, JPEG
// through its Exif preview or whole, everything else whole.
#include "thumbs/thumbnailreader.h"
#include "fuzztargets.h"
#include "thumbnailchecks.h"
#include "thumbs/memoryimagefile.h"

void fuzzThumbnailReader(const uint8_t* data, size_t size) {
    MemoryImageFile file({data, size});
    checkThumbnail(readThumbnail(file));
}
