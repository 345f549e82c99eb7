// The TIFF data of an Exif segment: its orientation tag and the second directory's thumbnail.
#include "fuzztargets.h"
#include "thumbs/exifdata.h"

void fuzzExifTiff(const uint8_t* data, size_t size) {
    const ExifData exif = readExif({data, size});
    fuzzCheck(exif.orientation >= 1 && exif.orientation <= 8, "orientation 1 to 8");
    if (!exif.thumbnail.empty()) {
        fuzzCheck(exif.thumbnail.data() >= data &&
                      exif.thumbnail.data() + exif.thumbnail.size() <= data + size,
                  "the thumbnail lies within the TIFF data");
    }
}
