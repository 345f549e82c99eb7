#include "thumbs/stbimagedecoder.h"

#include <stb/stb_image.h>

#include <array>
#include <climits>
#include <cstring>
#include <memory>

namespace {

constexpr int kChannels = 4;
constexpr std::array<uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Length, type and checksum around each chunk's data.
constexpr size_t kChunkFrame = 12;
// Deflate's best: a 258-byte match in two bits.
constexpr uint64_t kMaxDeflateRatio = 1032;

struct StbFree {
    void operator()(stbi_uc* pixels) const noexcept { stbi_image_free(pixels); }
};

uint32_t readBigEndian(std::span<const uint8_t> bytes, size_t offset) {
    return uint32_t{bytes[offset]} << 24 | uint32_t{bytes[offset + 1]} << 16 |
           uint32_t{bytes[offset + 2]} << 8 | uint32_t{bytes[offset + 3]};
}

uint32_t readLittleEndian(std::span<const uint8_t> bytes, size_t offset, size_t count) {
    uint32_t value = 0;
    for (size_t i = count; i-- > 0;)
        value = value << 8 | bytes[offset + i];
    return value;
}

bool isPng(std::span<const uint8_t> file) {
    return file.size() >= kPngSignature.size() &&
           std::memcmp(file.data(), kPngSignature.data(), kPngSignature.size()) == 0;
}

struct PngChunk {
    size_t offset = 0;
    std::span<const uint8_t> data;
};

/** The first chunk of type that lies whole in the file, walking from the signature on. */
std::optional<PngChunk> findChunk(std::span<const uint8_t> png, const char (&type)[5]) {
    size_t at = kPngSignature.size();
    while (png.size() - at >= kChunkFrame) {
        const uint32_t length = readBigEndian(png, at);
        if (length > png.size() - at - kChunkFrame)
            return std::nullopt;
        if (std::memcmp(png.data() + at + 4, type, 4) == 0)
            return PngChunk{at, png.subspan(at + 8, length)};
        at += kChunkFrame + length;
    }
    return std::nullopt;
}

/**
 * Whether every chunk up to the end chunk lies whole in the file. stb_image grows its buffer to a
 * data chunk's announced length before reading it, so a few bytes could make it allocate 2 GiB.
 */
bool pngChunksWhole(std::span<const uint8_t> png) {
    return findChunk(png, "IEND").has_value();
}

/** Whether the PNG's bytes can hold the pixels of width × height at its header's depth. */
bool pngDataCanHold(std::span<const uint8_t> png, int width, int height) {
    const std::optional<PngChunk> header = findChunk(png, "IHDR");
    if (!header || header->data.size() < 13)
        return false;
    const uint64_t bitDepth = header->data[8];
    // Samples per pixel of each colour type: grey, -, RGB, palette index, grey and alpha, -, RGBA.
    constexpr std::array<uint8_t, 7> kSamples = {1, 0, 3, 1, 2, 0, 4};
    const uint8_t colourType = header->data[9];
    const uint64_t samples = colourType < kSamples.size() ? kSamples[colourType] : 0;
    if (samples == 0)
        return false;
    // stb_image caps sides at 2^24, so this cannot overflow.
    const uint64_t pixelBits =
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * samples * bitDepth;
    return (pixelBits + 7) / 8 <= kMaxDeflateRatio * png.size();
}

/**
 * Whether the pixel rows a BMP header announces are all present. The decoder would read missing
 * rows as black.
 */
bool bmpRowsPresent(std::span<const uint8_t> file, int width, int height) {
    constexpr size_t kPixelOffsetAt = 10;
    constexpr size_t kHeaderSizeAt = 14;
    constexpr uint32_t kCoreHeaderSize = 12;
    constexpr size_t kCoreBitsPerPixelAt = 24;
    constexpr size_t kBitsPerPixelAt = 28;
    constexpr size_t kInfoHeaderEnd = 30;
    if (file.size() < kInfoHeaderEnd)
        return false;
    const uint64_t pixelOffset = readLittleEndian(file, kPixelOffsetAt, 4);
    const uint32_t headerSize = readLittleEndian(file, kHeaderSizeAt, 4);
    const uint64_t bitsPerPixel = readLittleEndian(
        file, headerSize == kCoreHeaderSize ? kCoreBitsPerPixelAt : kBitsPerPixelAt, 2);
    // Rows are padded to 4 bytes; the last row's padding may be left out.
    const uint64_t rowBits = static_cast<uint64_t>(width) * bitsPerPixel;
    const uint64_t stride = (rowBits + 31) / 32 * 4;
    const uint64_t pixelBytes = stride * static_cast<uint64_t>(height - 1) + (rowBits + 7) / 8;
    return pixelOffset + pixelBytes <= file.size();
}

/**
 * A "CgBI" PNG with four zero bytes of image data added before its end chunk. stb_image fails a
 * Huffman-coded stream that ends within the last 16 bits it reads ahead, which a zlib stream
 * never does (its checksum follows) but Apple's raw deflate stream does; the bytes added lie
 * past the stream's end and are never decoded. Nothing for other files.
 */
std::optional<std::vector<uint8_t>> paddedCgbiPng(std::span<const uint8_t> png) {
    const std::optional<PngChunk> apple = findChunk(png, "CgBI");
    const std::optional<PngChunk> end = findChunk(png, "IEND");
    if (!apple || apple->offset != kPngSignature.size() || !end)
        return std::nullopt;
    // stb_image does not check chunk checksums; this copy goes nowhere else.
    constexpr std::array<uint8_t, 16> kPadding = {0, 0, 0, 4, 'I', 'D', 'A', 'T'};
    std::vector<uint8_t> padded(png.begin(), png.begin() + static_cast<long>(end->offset));
    padded.insert(padded.end(), kPadding.begin(), kPadding.end());
    padded.insert(padded.end(), png.begin() + static_cast<long>(end->offset), png.end());
    return padded;
}

}  // namespace

StbImageDecoder::StbImageDecoder(std::span<const uint8_t> file) : file_(file) {
    if (file.empty() || file.size() > INT_MAX)
        return;
    int width = 0;
    int height = 0;
    int channels = 0;
    if (stbi_info_from_memory(file.data(), static_cast<int>(file.size()), &width, &height,
                              &channels) == 0)
        return;
    // A BMP stored top row first reports a negative height, which stb_image passes on as the
    // header has it, the most negative int too.
    if (height == INT_MIN)
        return;
    height = height < 0 ? -height : height;
    if (width < 1 || height < 1)
        return;
    if (isPng(file) ? !pngChunksWhole(file) || !pngDataCanHold(file, width, height)
                    : !bmpRowsPresent(file, width, height))
        return;
    size_ = ImageSize{width, height};
}

std::optional<ImageSize> StbImageDecoder::size() const {
    return size_;
}

std::optional<RgbaImage> StbImageDecoder::decode(ImageSize) {
    if (!size_)
        return std::nullopt;
    const std::optional<std::vector<uint8_t>> padded = paddedCgbiPng(file_);
    const std::span<const uint8_t> bytes = padded ? std::span<const uint8_t>(*padded) : file_;
    if (bytes.size() > INT_MAX)
        return std::nullopt;
    stbi_convert_iphone_png_to_rgb_thread(1);
    int width = 0;
    int height = 0;
    int channelsInFile = 0;
    const std::unique_ptr<stbi_uc, StbFree> pixels(stbi_load_from_memory(
        bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channelsInFile, kChannels));
    if (!pixels)
        return std::nullopt;
    RgbaImage image{width, height, {}};
    image.pixels.assign(pixels.get(), pixels.get() + static_cast<size_t>(width) *
                                                         static_cast<size_t>(height) * kChannels);
    return image;
}
