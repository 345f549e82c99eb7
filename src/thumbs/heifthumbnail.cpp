#include "thumbs/heifthumbnail.h"

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "photos/heiflibrary.h"
#include "thumbs/heifthumbnailitem.h"
#include "thumbs/memoryimagefile.h"

namespace {

using Handle = std::unique_ptr<heif_image_handle, HeifHandleRelease>;

/** libheif's view of an ImageFile: a position and reads from it. */
class HeifReader {
public:
    explicit HeifReader(ImageFile& file) : file_(file) {}

    static const heif_reader* callbacks() {
        static const heif_reader reader = {
            1,
            [](void* self) { return static_cast<int64_t>(of(self).position_); },
            [](void* data, size_t size, void* self) { return of(self).read(data, size); },
            [](int64_t position, void* self) { return of(self).seek(position); },
            [](int64_t target, void* self) {
                return target >= 0 && static_cast<uint64_t>(target) <= of(self).file_.size()
                           ? heif_reader_grow_status_size_reached
                           : heif_reader_grow_status_size_beyond_eof;
            },
        };
        return &reader;
    }

private:
    static HeifReader& of(void* self) { return *static_cast<HeifReader*>(self); }

    int read(void* data, size_t size) {
        if (!file_.read(position_, std::span(static_cast<uint8_t*>(data), size)))
            return -1;
        position_ += size;
        return 0;
    }
    int seek(int64_t position) {
        if (position < 0 || static_cast<uint64_t>(position) > file_.size())
            return -1;
        position_ = static_cast<uint64_t>(position);
        return 0;
    }

    ImageFile& file_;
    uint64_t position_ = 0;
};

ImageSize sizeOf(const HeifLibrary& heif, const heif_image_handle* handle) {
    return {heif.imageHandleGetWidth(handle), heif.imageHandleGetHeight(handle)};
}

/** The handle's image decoded upright into RGBA; nothing when it does not decode. */
std::optional<RgbaImage> decodeUpright(const HeifLibrary& heif, const heif_image_handle* handle) {
    const std::unique_ptr<heif_decoding_options, HeifOptionsFree> options(
        heif.decodingOptionsAlloc());
    if (!options)
        return std::nullopt;
    options->convert_hdr_to_8bit = 1;
    heif_image* raw = nullptr;
    if (heif.decodeImage(handle, &raw, heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                         options.get())
            .code != heif_error_Ok)
        return std::nullopt;
    const std::unique_ptr<heif_image, HeifImageRelease> image(raw);
    const int width = heif.imageGetWidth(image.get(), heif_channel_interleaved);
    const int height = heif.imageGetHeight(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane =
        heif.imageGetPlaneReadonly(image.get(), heif_channel_interleaved, &stride);
    const auto rowBytes = static_cast<size_t>(width) * 4;
    if (plane == nullptr || width < 1 || height < 1 || static_cast<size_t>(stride) < rowBytes)
        return std::nullopt;
    RgbaImage decoded{width, height, std::vector<uint8_t>(rowBytes * static_cast<size_t>(height))};
    for (int y = 0; y < height; ++y) {
        std::memcpy(decoded.pixels.data() + rowBytes * static_cast<size_t>(y),
                    plane + static_cast<size_t>(stride) * static_cast<size_t>(y), rowBytes);
    }
    return decoded;
}

/**
 * The primary image of a HEIF file decoded upright, when its sides are within
 * kMaxThumbnailSourceSide and its pixels within kMaxThumbnailSourcePixels.
 */
std::optional<RgbaImage> decodePrimaryUpright(ImageFile& file) {
    const HeifLibrary* loaded = HeifLibrary::loaded();
    if (loaded == nullptr)
        return std::nullopt;
    const HeifLibrary& heif = *loaded;
    const std::unique_ptr<heif_context, HeifContextFree> context(heif.contextAlloc());
    if (!context)
        return std::nullopt;
    HeifReader reader(file);
    if (heif.contextReadFromReader(context.get(), HeifReader::callbacks(), &reader, nullptr).code !=
        heif_error_Ok)
        return std::nullopt;
    heif_image_handle* raw = nullptr;
    if (heif.contextGetPrimaryImageHandle(context.get(), &raw).code != heif_error_Ok)
        return std::nullopt;
    const Handle primary(raw);
    // Writers disagree on whether the stated size is the turned one; the caps hold either way.
    const ImageSize source = sizeOf(heif, primary.get());
    if (source.width < 1 || source.height < 1 || source.width > kMaxThumbnailSourceSide ||
        source.height > kMaxThumbnailSourceSide ||
        int64_t{source.width} * source.height > kMaxThumbnailSourcePixels)
        return std::nullopt;
    return decodeUpright(heif, primary.get());
}

std::optional<Thumbnail> thumbnailOf(RgbaImage decoded, ImageSize source) {
    if (source.width < 1 || source.height < 1)
        return std::nullopt;
    std::optional<RgbaImage> fitted = fitThumbnail(std::move(decoded));
    if (!fitted)
        return std::nullopt;
    return Thumbnail{std::move(*fitted), source};
}

}  // namespace

bool looksLikeHeif(std::span<const uint8_t> start) {
    const HeifLibrary* heif = HeifLibrary::loaded();
    return heif != nullptr && heif->checkFiletype(start.data(), static_cast<int>(start.size())) ==
                                  heif_filetype_yes_supported;
}

std::optional<Thumbnail> heifThumbnail(ImageFile& file) {
    if (const std::optional<HeifThumbnailItem> item = extractHeifThumbnail(file)) {
        MemoryImageFile thumbnailFile(item->file);
        if (std::optional<RgbaImage> decoded = decodePrimaryUpright(thumbnailFile)) {
            // Some writers state the sizes already turned; the decoded thumbnail tells.
            ImageSize source = item->primary;
            if ((decoded->width > decoded->height) !=
                (item->thumbnail.width > item->thumbnail.height))
                std::swap(source.width, source.height);
            return thumbnailOf(std::move(*decoded), source);
        }
    }
    std::optional<RgbaImage> decoded = decodePrimaryUpright(file);
    if (!decoded)
        return std::nullopt;
    const ImageSize source{decoded->width, decoded->height};
    return thumbnailOf(std::move(*decoded), source);
}
