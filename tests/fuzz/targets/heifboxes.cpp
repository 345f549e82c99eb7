// The box walk of a HEIF file taking out its thumbnail item and its Exif: the metadata box, item
// information, locations, properties and references, with every offset, count and size from
// the file.
#include "fuzztargets.h"
#include "thumbs/heifthumbnailitem.h"
#include "thumbs/memoryimagefile.h"
#include "thumbs/thumbnailmaker.h"

void fuzzHeifBoxes(const uint8_t* data, size_t size) {
    MemoryImageFile file({data, size});
    if (const auto exif = extractHeifExif(file))
        fuzzCheck(exif->size() <= size, "the Exif item lies within the file");
    const auto item = extractHeifThumbnail(file);
    if (!item)
        return;
    fuzzCheck(previewIsEnough(item->thumbnail, item->primary),
              "a thumbnail item taken out serves its picture");
    fuzzCheck(!item->file.empty(), "a thumbnail item taken out has a file");
}
