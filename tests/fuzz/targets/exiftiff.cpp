// The TIFF data of an Exif segment: its orientation tag and the second directory's thumbnail,
// the date the photo was taken, and the copy whose orientation is reset for a converted photo.
#include "fuzztargets.h"
#include "photos/exifdatetaken.h"
#include "photos/uprightexif.h"
#include "thumbs/exifdata.h"

void fuzzExifTiff(const uint8_t* data, size_t size) {
    const ExifData exif = readExif({data, size});
    fuzzCheck(exif.orientation >= 1 && exif.orientation <= 8, "orientation 1 to 8");
    if (!exif.thumbnail.empty()) {
        fuzzCheck(exif.thumbnail.data() >= data &&
                      exif.thumbnail.data() + exif.thumbnail.size() <= data + size,
                  "the thumbnail lies within the TIFF data");
    }
    if (const auto taken = exifDateTaken({data, size}))
        fuzzCheck(taken->size() == 19, "a date taken is YYYY:MM:DD HH:MM:SS");
    if (const auto upright = uprightExif({data, size})) {
        fuzzCheck(upright->size() == size, "the upright copy keeps every byte's place");
        fuzzCheck(readExif(*upright).orientation == 1, "the upright copy says upright");
    }
}
