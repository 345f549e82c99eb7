#include "thumbs/heifthumbnail.h"

#include <libheif/heif.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "thumbs/heifthumbnailitem.h"
#include "thumbs/memoryimagefile.h"

namespace {

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
using Handle = std::unique_ptr<heif_image_handle, HandleRelease>;

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

ImageSize sizeOf(const heif_image_handle* handle) {
    return {heif_image_handle_get_width(handle), heif_image_handle_get_height(handle)};
}

/** The handle's image decoded upright into RGBA; nothing when it does not decode. */
std::optional<RgbaImage> decodeUpright(const heif_image_handle* handle) {
    const std::unique_ptr<heif_decoding_options, OptionsFree> options(
        heif_decoding_options_alloc());
    if (!options)
        return std::nullopt;
    options->convert_hdr_to_8bit = 1;
    heif_image* raw = nullptr;
    if (heif_decode_image(handle, &raw, heif_colorspace_RGB, heif_chroma_interleaved_RGBA,
                          options.get())
            .code != heif_error_Ok)
        return std::nullopt;
    const std::unique_ptr<heif_image, ImageRelease> image(raw);
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
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
    const std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    if (!context)
        return std::nullopt;
    HeifReader reader(file);
    if (heif_context_read_from_reader(context.get(), HeifReader::callbacks(), &reader, nullptr)
            .code != heif_error_Ok)
        return std::nullopt;
    heif_image_handle* raw = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &raw).code != heif_error_Ok)
        return std::nullopt;
    const Handle primary(raw);
    // Writers disagree on whether the stated size is the turned one; the caps hold either way.
    const ImageSize source = sizeOf(primary.get());
    if (source.width < 1 || source.height < 1 || source.width > kMaxThumbnailSourceSide ||
        source.height > kMaxThumbnailSourceSide ||
        int64_t{source.width} * source.height > kMaxThumbnailSourcePixels)
        return std::nullopt;
    return decodeUpright(primary.get());
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
    return heif_check_filetype(start.data(), static_cast<int>(start.size())) ==
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
