#include "photos/heictojpeg.h"

// jpeglib.h expects FILE and size_t to be declared before it.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include <array>
#include <cstring>
#include <memory>
#include <optional>

#include "photos/heifexif.h"
#include "photos/heiflibrary.h"
#include "photos/uprightexif.h"

namespace {

constexpr std::array<uint8_t, 6> kExifHeader = {'E', 'x', 'i', 'f', 0, 0};
// A JPEG segment's length field counts itself: 65,535 less 2.
constexpr size_t kMaxSegmentData = 65533;

/** The TIFF data of the image's Exif block. */
std::vector<uint8_t> exifTiffOf(const HeifLibrary& heif, heif_image_handle* handle) {
    heif_item_id id = 0;
    if (heif.imageHandleGetListOfMetadataBlockIds(handle, "Exif", &id, 1) < 1)
        return {};
    std::vector<uint8_t> block(heif.imageHandleGetMetadataSize(handle, id));
    if (block.empty() ||
        heif.imageHandleGetMetadata(handle, id, block.data()).code != heif_error_Ok)
        return {};
    return tiffOfHeifExif(block);
}

// An ICC profile beside an nclx one counts: a JPEG can carry only the ICC one.
std::vector<uint8_t> colourProfileOf(const HeifLibrary& heif, heif_image_handle* handle) {
    std::vector<uint8_t> profile(heif.imageHandleGetRawColorProfileSize(handle));
    if (profile.empty() ||
        heif.imageHandleGetRawColorProfile(handle, profile.data()).code != heif_error_Ok)
        return {};
    return profile;
}

struct ErrorManager {
    // First, so that libjpeg-turbo's pointer to it is a pointer to the whole.
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void endEncode(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

struct EncodedJpeg {
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
};

/** Only plain data lives here: a libjpeg-turbo error jumps back out of it. */
bool encodeJpeg(const uint8_t* pixels, int width, int height, int stride,
                std::span<const uint8_t> exifSegment, std::span<const uint8_t> profile,
                EncodedJpeg& out) {
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = endEncode;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out.bytes, &out.size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, kHeicJpegQuality, TRUE);
    jpeg_start_compress(&info, TRUE);
    if (!exifSegment.empty())
        jpeg_write_marker(&info, JPEG_APP0 + 1, exifSegment.data(),
                          static_cast<unsigned>(exifSegment.size()));
    if (!profile.empty())
        jpeg_write_icc_profile(&info, profile.data(), static_cast<unsigned>(profile.size()));
    while (info.next_scanline < info.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(pixels + static_cast<size_t>(stride) * info.next_scanline);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

HeicToJpegResult failed(const char16_t* reason) {
    return {{}, CZelboString(reason)};
}

}  // namespace

HeicToJpegResult convertHeicToJpeg(std::span<const uint8_t> heic) {
    const HeifLibrary* loaded = HeifLibrary::loaded();
    if (loaded == nullptr)
        return failed(u"libheif is not installed");
    const HeifLibrary& heif = *loaded;
    const std::unique_ptr<heif_context, HeifContextFree> context(heif.contextAlloc());
    if (!context)
        return failed(u"Out of memory");
    heif.contextSetMaximumImageSizeLimit(context.get(), kMaxHeicSide);
    // Photos are converted side by side, one a thread; the tiles of one need no threads of their
    // own.
    heif.contextSetMaxDecodingThreads(context.get(), 0);
    if (heif.contextReadFromMemoryWithoutCopy(context.get(), heic.data(), heic.size(), nullptr)
            .code != heif_error_Ok)
        return failed(u"Not a HEIF file libheif can read");
    heif_image_handle* rawHandle = nullptr;
    if (heif.contextGetPrimaryImageHandle(context.get(), &rawHandle).code != heif_error_Ok)
        return failed(u"The file has no primary image");
    const std::unique_ptr<heif_image_handle, HeifHandleRelease> handle(rawHandle);
    const int statedWidth = heif.imageHandleGetWidth(handle.get());
    const int statedHeight = heif.imageHandleGetHeight(handle.get());
    if (statedWidth < 1 || statedHeight < 1 || statedWidth > kMaxHeicSide ||
        statedHeight > kMaxHeicSide || int64_t{statedWidth} * statedHeight > kMaxHeicPixels)
        return failed(u"The image is too large to convert");

    std::vector<uint8_t> exifSegment;
    if (const std::vector<uint8_t> tiff = exifTiffOf(heif, handle.get()); !tiff.empty()) {
        const std::optional<std::vector<uint8_t>> upright = uprightExif(tiff);
        if (!upright || kExifHeader.size() + upright->size() > kMaxSegmentData)
            return failed(u"Its Exif data does not fit a JPEG file");
        exifSegment.assign(kExifHeader.begin(), kExifHeader.end());
        exifSegment.insert(exifSegment.end(), upright->begin(), upright->end());
    }
    const std::vector<uint8_t> profile = colourProfileOf(heif, handle.get());

    const std::unique_ptr<heif_decoding_options, HeifOptionsFree> options(
        heif.decodingOptionsAlloc());
    if (!options)
        return failed(u"Out of memory");
    options->convert_hdr_to_8bit = 1;
    heif_image* rawImage = nullptr;
    if (heif.decodeImage(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGB,
                         options.get())
            .code != heif_error_Ok)
        return failed(u"The image does not decode");
    const std::unique_ptr<heif_image, HeifImageRelease> image(rawImage);
    const int width = heif.imageGetWidth(image.get(), heif_channel_interleaved);
    const int height = heif.imageGetHeight(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane =
        heif.imageGetPlaneReadonly(image.get(), heif_channel_interleaved, &stride);
    if (plane == nullptr || width < 1 || height < 1 ||
        static_cast<int64_t>(stride) < int64_t{width} * 3)
        return failed(u"The image does not decode");

    EncodedJpeg encoded;
    const bool made = encodeJpeg(plane, width, height, stride, exifSegment, profile, encoded);
    HeicToJpegResult result;
    if (made && encoded.bytes != nullptr)
        result.jpeg.assign(encoded.bytes, encoded.bytes + encoded.size);
    else
        result.failure = u"The JPEG could not be encoded";
    std::free(encoded.bytes);
    return result;
}
