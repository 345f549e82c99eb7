#include "thumbs/imagedecoder.h"

#include "thumbs/jpegdecoder.h"
#include "thumbs/stbimagedecoder.h"

std::unique_ptr<ImageDecoder> imageDecoderFor(std::span<const uint8_t> file) {
    if (looksLikeJpeg(file))
        return std::make_unique<JpegDecoder>(file);
    return std::make_unique<StbImageDecoder>(file);
}
