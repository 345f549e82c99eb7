// Image files decoded whole (JPEG through libjpeg-turbo, PNG, CgBI PNG and BMP through
// stb_image, every other format refused): many decodes in one process, so that a decoder that
// reads what an earlier one left on the heap shows.
#include <span>

#include "fuzztargets.h"
#include "thumbnailchecks.h"
#include "thumbs/rgbaimage.h"

void fuzzMakeThumbnail(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    checkThumbnail(makeThumbnail(bytes));
    if (const auto decoded = decodeImage(bytes))
        fuzzCheck(decoded->isValid(), "decoded pixels match their size");
}
