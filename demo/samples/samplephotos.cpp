#include "samplephotos.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <libheif/heif.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace {

constexpr int kJpegQuality = 85;
constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kThumbnailOffsetTag = 0x0201;
constexpr uint16_t kThumbnailLengthTag = 0x0202;
constexpr uint16_t kShortType = 3;
constexpr uint16_t kLongType = 4;

void appendWritten(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

std::vector<uint8_t> jpegOf(const SamplePicture& picture) {
    std::vector<uint8_t> file;
    stbi_write_jpg_to_func(appendWritten, &file, picture.width, picture.height, 3,
                           picture.rgb.data(), kJpegQuality);
    return file;
}

void appendLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void appendEntry(std::vector<uint8_t>& tiff, uint16_t tag, uint16_t type, uint32_t value) {
    appendLittleEndian(tiff, tag, 2);
    appendLittleEndian(tiff, type, 2);
    appendLittleEndian(tiff, 1, 4);
    appendLittleEndian(tiff, value, type == kShortType ? 2 : 4);
    if (type == kShortType)
        appendLittleEndian(tiff, 0, 2);
}

// Little-endian TIFF data: IFD0 with the orientation, and IFD1 with the thumbnail when given.
std::vector<uint8_t> exifTiff(int orientation, const std::vector<uint8_t>& thumbnail) {
    constexpr uint32_t kFirstDirectory = 8;
    constexpr uint32_t kSecondDirectory = kFirstDirectory + 2 + 12 + 4;
    constexpr uint32_t kThumbnailAt = kSecondDirectory + 2 + 2 * 12 + 4;
    std::vector<uint8_t> tiff = {'I', 'I', 42, 0};
    appendLittleEndian(tiff, kFirstDirectory, 4);
    appendLittleEndian(tiff, 1, 2);
    appendEntry(tiff, kOrientationTag, kShortType, static_cast<uint32_t>(orientation));
    appendLittleEndian(tiff, thumbnail.empty() ? 0 : kSecondDirectory, 4);
    if (thumbnail.empty())
        return tiff;
    appendLittleEndian(tiff, 2, 2);
    appendEntry(tiff, kThumbnailOffsetTag, kLongType, kThumbnailAt);
    appendEntry(tiff, kThumbnailLengthTag, kLongType, static_cast<uint32_t>(thumbnail.size()));
    appendLittleEndian(tiff, 0, 4);
    tiff.insert(tiff.end(), thumbnail.begin(), thumbnail.end());
    return tiff;
}

struct TiffEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    std::vector<uint8_t> value;
};

constexpr uint16_t kAsciiType = 2;
constexpr uint16_t kRationalType = 5;

TiffEntry asciiEntry(uint16_t tag, const std::string& text) {
    std::vector<uint8_t> value(text.begin(), text.end());
    value.push_back(0);
    return {tag, kAsciiType, static_cast<uint32_t>(value.size()), value};
}

TiffEntry longEntry(uint16_t tag, uint32_t number) {
    std::vector<uint8_t> value;
    appendLittleEndian(value, number, 4);
    return {tag, kLongType, 1, value};
}

// Degrees, minutes and hundredths of seconds, as phones write them.
TiffEntry degreesEntry(uint16_t tag, double degrees) {
    const double magnitude = std::fabs(degrees);
    const auto whole = static_cast<uint32_t>(magnitude);
    const double minutes = (magnitude - whole) * 60;
    const auto wholeMinutes = static_cast<uint32_t>(minutes);
    const auto hundredths = static_cast<uint32_t>(std::lround((minutes - wholeMinutes) * 6000));
    std::vector<uint8_t> value;
    for (const auto& [numerator, denominator] :
         {std::pair{whole, 1u}, std::pair{wholeMinutes, 1u}, std::pair{hundredths, 100u}}) {
        appendLittleEndian(value, numerator, 4);
        appendLittleEndian(value, denominator, 4);
    }
    return {tag, kRationalType, 3, value};
}

size_t directorySize(const std::vector<TiffEntry>& entries) {
    size_t size = 2 + entries.size() * 12 + 4;
    for (const TiffEntry& entry : entries)
        size += entry.value.size() > 4 ? (entry.value.size() + 1) / 2 * 2 : 0;
    return size;
}

// The directory at the end of tiff, the values longer than four bytes after it.
void appendDirectory(std::vector<uint8_t>& tiff, const std::vector<TiffEntry>& entries) {
    const size_t start = tiff.size();
    size_t outOfLine = start + 2 + entries.size() * 12 + 4;
    appendLittleEndian(tiff, static_cast<uint32_t>(entries.size()), 2);
    for (const TiffEntry& entry : entries) {
        appendLittleEndian(tiff, entry.tag, 2);
        appendLittleEndian(tiff, entry.type, 2);
        appendLittleEndian(tiff, entry.count, 4);
        if (entry.value.size() <= 4) {
            std::vector<uint8_t> inline4 = entry.value;
            inline4.resize(4);
            tiff.insert(tiff.end(), inline4.begin(), inline4.end());
        } else {
            appendLittleEndian(tiff, static_cast<uint32_t>(outOfLine), 4);
            outOfLine += (entry.value.size() + 1) / 2 * 2;
        }
    }
    appendLittleEndian(tiff, 0, 4);
    for (const TiffEntry& entry : entries) {
        if (entry.value.size() <= 4)
            continue;
        tiff.insert(tiff.end(), entry.value.begin(), entry.value.end());
        if (entry.value.size() % 2 != 0)
            tiff.push_back(0);
    }
}

heif_orientation heifOrientation(int orientation) {
    return orientation >= 1 && orientation <= 8 ? static_cast<heif_orientation>(orientation)
                                                : heif_orientation_normal;
}

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct EncoderRelease {
    void operator()(heif_encoder* encoder) const { heif_encoder_release(encoder); }
};
struct ImageRelease {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct HandleRelease {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct OptionsFree {
    void operator()(heif_encoding_options* options) const { heif_encoding_options_free(options); }
};

std::unique_ptr<heif_image, ImageRelease> heifImageOf(const SamplePicture& picture) {
    heif_image* raw = nullptr;
    if (heif_image_create(picture.width, picture.height, heif_colorspace_RGB,
                          heif_chroma_interleaved_RGB, &raw)
            .code != heif_error_Ok)
        return nullptr;
    std::unique_ptr<heif_image, ImageRelease> image(raw);
    if (heif_image_add_plane(image.get(), heif_channel_interleaved, picture.width, picture.height,
                             8)
            .code != heif_error_Ok)
        return nullptr;
    // As a phone marks its photos; it also spares readers a look into the coded data for it.
    heif_color_profile_nclx* colours = heif_nclx_color_profile_alloc();
    if (colours == nullptr)
        return nullptr;
    colours->color_primaries = heif_color_primaries_ITU_R_BT_709_5;
    colours->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
    colours->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
    colours->full_range_flag = 1;
    const heif_error set = heif_image_set_nclx_color_profile(image.get(), colours);
    heif_nclx_color_profile_free(colours);
    if (set.code != heif_error_Ok)
        return nullptr;
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    const auto rowBytes = static_cast<size_t>(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y) {
        std::memcpy(plane + static_cast<size_t>(stride) * static_cast<size_t>(y),
                    picture.rgb.data() + rowBytes * static_cast<size_t>(y), rowBytes);
    }
    return image;
}

heif_error writeToVector(heif_context*, const void* data, size_t size, void* userdata) {
    auto* out = static_cast<std::vector<uint8_t>*>(userdata);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
}

// libheif 1.15 states the spatial extent of an image it turns sideways already turned; a phone
// states the coded size, as the format says. Swaps the sides of every extent in the metadata.
void storeCodedSizes(std::vector<uint8_t>& file) {
    const uint8_t meta[] = {'m', 'e', 't', 'a'};
    const auto metaAt = std::search(file.begin(), file.end(), std::begin(meta), std::end(meta));
    if (metaAt - file.begin() < 4)
        return;
    const size_t start = static_cast<size_t>(metaAt - file.begin()) - 4;
    const size_t size = size_t{file[start]} << 24 | size_t{file[start + 1]} << 16 |
                        size_t{file[start + 2]} << 8 | file[start + 3];
    const uint8_t extent[] = {'i', 's', 'p', 'e'};
    auto at = file.begin() + static_cast<long>(start);
    const auto end = file.begin() + static_cast<long>(std::min(file.size(), start + size));
    while ((at = std::search(at, end, std::begin(extent), std::end(extent))) != end) {
        // type, version and flags, then width and height of 4 bytes each
        if (end - at < 16)
            break;
        std::swap_ranges(at + 8, at + 12, at + 12);
        at += 16;
    }
}

}  // namespace

SamplePicture drawLandscape(int width, int height, int seed) {
    SamplePicture picture{width, height,
                          std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    const double sunX = width * (0.2 + 0.15 * (seed % 4));
    const double sunY = height * (0.25 + 0.05 * (seed % 4));
    const double sunRadius = std::min(width, height) / 12.0;
    const int horizon = height * (55 + 5 * (seed % 4)) / 100;
    const int marker = std::max(2, std::min(width, height) / 8);
    uint32_t grain = 2463534242u + static_cast<uint32_t>(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = &picture.rgb[(static_cast<size_t>(y) * width + x) * 3];
            const double t = static_cast<double>(y) / height;
            if (x < marker && y < marker) {
                pixel[0] = 230;
                pixel[1] = 20;
                pixel[2] = 20;
            } else if (std::hypot(x - sunX, y - sunY) < sunRadius) {
                pixel[0] = 255;
                pixel[1] = 214;
                pixel[2] = 80;
            } else if (y < horizon) {
                pixel[0] = static_cast<uint8_t>(80 + 120 * t);
                pixel[1] = static_cast<uint8_t>(140 + 80 * t);
                pixel[2] = static_cast<uint8_t>(235 - 30 * (seed % 4));
            } else {
                const int stripeWidth = std::max(4, width / (40 - 4 * (seed % 4)));
                const bool stripe = ((x / stripeWidth) + (y / std::max(3, height / 40))) % 2 == 0;
                pixel[0] = static_cast<uint8_t>(40 + 20 * (seed % 4));
                pixel[1] = static_cast<uint8_t>(stripe ? 150 : 120);
                pixel[2] = 60;
            }
            // Sensor noise, which makes the files as large as a camera's.
            grain ^= grain << 13;
            grain ^= grain >> 17;
            grain ^= grain << 5;
            for (int c = 0; c < 3; ++c) {
                const int noisy = pixel[c] + static_cast<int>((grain >> (8 * c)) % 17) - 8;
                pixel[c] = static_cast<uint8_t>(std::clamp(noisy, 0, 255));
            }
        }
    }
    return picture;
}

SamplePicture storedForOrientation(const SamplePicture& upright, int orientation) {
    if (orientation != 3 && orientation != 6 && orientation != 8)
        return upright;
    const bool sideways = orientation != 3;
    const int width = sideways ? upright.height : upright.width;
    const int height = sideways ? upright.width : upright.height;
    SamplePicture stored{width, height, std::vector<uint8_t>(upright.rgb.size())};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Where the stored pixel (x, y) shows once turned upright.
            int uprightX = upright.width - 1 - x;
            int uprightY = upright.height - 1 - y;
            if (orientation == 6) {
                uprightX = upright.width - 1 - y;
                uprightY = x;
            } else if (orientation == 8) {
                uprightX = y;
                uprightY = upright.height - 1 - x;
            }
            std::memcpy(
                &stored.rgb[(static_cast<size_t>(y) * width + x) * 3],
                &upright.rgb[(static_cast<size_t>(uprightY) * upright.width + uprightX) * 3], 3);
        }
    }
    return stored;
}

SamplePicture shrinkPicture(const SamplePicture& picture, int longest) {
    const double scale = static_cast<double>(longest) / std::max(picture.width, picture.height);
    const int width = std::max(1, static_cast<int>(std::lround(picture.width * scale)));
    const int height = std::max(1, static_cast<int>(std::lround(picture.height * scale)));
    SamplePicture small{width, height,
                        std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        const int top = y * picture.height / height;
        const int bottom = std::max(top + 1, (y + 1) * picture.height / height);
        for (int x = 0; x < width; ++x) {
            const int left = x * picture.width / width;
            const int right = std::max(left + 1, (x + 1) * picture.width / width);
            for (int c = 0; c < 3; ++c) {
                long sum = 0;
                for (int sy = top; sy < bottom; ++sy) {
                    for (int sx = left; sx < right; ++sx)
                        sum += picture.rgb[(static_cast<size_t>(sy) * picture.width + sx) * 3 + c];
                }
                small.rgb[(static_cast<size_t>(y) * width + x) * 3 + c] =
                    static_cast<uint8_t>(sum / ((bottom - top) * (right - left)));
            }
        }
    }
    return small;
}

std::vector<uint8_t> cameraJpeg(const SamplePicture& picture, int orientation, int previewSide) {
    const std::vector<uint8_t> stored = jpegOf(picture);
    const std::vector<uint8_t> preview =
        previewSide > 0 ? jpegOf(shrinkPicture(picture, previewSide)) : std::vector<uint8_t>();
    const std::vector<uint8_t> tiff = exifTiff(orientation, preview);
    const size_t length = 2 + 6 + tiff.size();
    std::vector<uint8_t> file(stored.begin(), stored.begin() + 2);
    file.insert(file.end(), {0xFF, 0xE1, static_cast<uint8_t>(length >> 8),
                             static_cast<uint8_t>(length), 'E', 'x', 'i', 'f', 0, 0});
    file.insert(file.end(), tiff.begin(), tiff.end());
    file.insert(file.end(), stored.begin() + 2, stored.end());
    return file;
}

std::vector<uint8_t> phoneExifTiff(int orientation, const PhoneExif& exif) {
    constexpr uint16_t kMakeTag = 0x010F;
    constexpr uint16_t kModelTag = 0x0110;
    constexpr uint16_t kExifDirectoryTag = 0x8769;
    constexpr uint16_t kGpsDirectoryTag = 0x8825;
    constexpr uint16_t kDateTimeOriginalTag = 0x9003;
    std::vector<uint8_t> orientationValue;
    appendLittleEndian(orientationValue, static_cast<uint32_t>(orientation), 2);
    const std::vector<TiffEntry> exifDirectory = {asciiEntry(kDateTimeOriginalTag, exif.dateTaken)};
    const std::vector<TiffEntry> gpsDirectory = {
        asciiEntry(1, exif.latitude < 0 ? "S" : "N"), degreesEntry(2, exif.latitude),
        asciiEntry(3, exif.longitude < 0 ? "W" : "E"), degreesEntry(4, exif.longitude)};
    // The sizes do not depend on the pointers' values: lay out with zeros, then fill them in.
    std::vector<TiffEntry> first = {asciiEntry(kMakeTag, exif.make),
                                    asciiEntry(kModelTag, exif.model),
                                    {kOrientationTag, kShortType, 1, orientationValue},
                                    longEntry(kExifDirectoryTag, 0),
                                    longEntry(kGpsDirectoryTag, 0)};
    const size_t exifAt = 8 + directorySize(first);
    const size_t gpsAt = exifAt + directorySize(exifDirectory);
    first[3] = longEntry(kExifDirectoryTag, static_cast<uint32_t>(exifAt));
    first[4] = longEntry(kGpsDirectoryTag, static_cast<uint32_t>(gpsAt));
    std::vector<uint8_t> tiff = {'I', 'I', 42, 0};
    appendLittleEndian(tiff, 8, 4);
    appendDirectory(tiff, first);
    appendDirectory(tiff, exifDirectory);
    appendDirectory(tiff, gpsDirectory);
    return tiff;
}

std::vector<uint8_t> cameraHeic(const SamplePicture& picture, int orientation, int thumbnailSide,
                                std::span<const uint8_t> exif) {
    const std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    heif_encoder* rawEncoder = nullptr;
    if (!context ||
        heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder)
                .code != heif_error_Ok)
        return {};
    const std::unique_ptr<heif_encoder, EncoderRelease> encoder(rawEncoder);
    heif_encoder_set_lossy_quality(encoder.get(), 60);
    heif_encoder_set_parameter(encoder.get(), "preset", "ultrafast");
    const auto image = heifImageOf(picture);
    const std::unique_ptr<heif_encoding_options, OptionsFree> options(
        heif_encoding_options_alloc());
    if (!image || !options)
        return {};
    options->image_orientation = heifOrientation(orientation);
    // Phones store the colour description beside the image, not only inside the coded data.
    options->macOS_compatibility_workaround_no_nclx_profile = 0;
    heif_image_handle* rawHandle = nullptr;
    if (heif_context_encode_image(context.get(), image.get(), encoder.get(), options.get(),
                                  &rawHandle)
            .code != heif_error_Ok)
        return {};
    const std::unique_ptr<heif_image_handle, HandleRelease> handle(rawHandle);
    if (!exif.empty() && heif_context_add_exif_metadata(context.get(), handle.get(), exif.data(),
                                                        static_cast<int>(exif.size()))
                                 .code != heif_error_Ok)
        return {};
    if (thumbnailSide > 0) {
        heif_image_handle* rawThumbnail = nullptr;
        if (heif_context_encode_thumbnail(context.get(), image.get(), handle.get(), encoder.get(),
                                          options.get(), thumbnailSide, &rawThumbnail)
                .code != heif_error_Ok)
            return {};
        heif_image_handle_release(rawThumbnail);
    }
    std::vector<uint8_t> file;
    heif_writer writer{1, writeToVector};
    if (heif_context_write(context.get(), &writer, &file).code != heif_error_Ok)
        return {};
    if (orientation >= 5 && orientation <= 8)
        storeCodedSizes(file);
    return file;
}
