#include "thumbs/boxresampler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace {

constexpr int kChannels = 4;
constexpr int kAlpha = 3;
constexpr int kColourSteps = 256;

/** The source pixels, first and count, that one target pixel averages along one axis. */
struct Footprint {
    int first = 0;
    int count = 0;
};

std::vector<Footprint> footprints(int sourceLength, int targetLength) {
    const float scale = static_cast<float>(targetLength) / static_cast<float>(sourceLength);
    const float radius = 0.5f / scale;
    std::vector<Footprint> result(static_cast<size_t>(targetLength));
    for (int i = 0; i < targetLength; ++i) {
        const float centre = (static_cast<float>(i) + 0.5f) / scale - 0.5f;
        const int low = static_cast<int>(std::floor(centre - radius)) - 1;
        const int high = static_cast<int>(std::ceil(centre + radius)) + 1;
        Footprint& footprint = result[static_cast<size_t>(i)];
        for (int j = low; j <= high; ++j) {
            const float offset = (centre - static_cast<float>(j)) * scale;
            if (offset < -0.5f || offset >= 0.5f)
                continue;
            if (footprint.count == 0)
                footprint.first = j;
            ++footprint.count;
        }
    }
    return result;
}

// An index beyond either edge continues from the opposite edge.
size_t wrapped(int index, int length) {
    return static_cast<size_t>((index % length + length) % length);
}

constexpr std::array<float, 256> makeByteValues() {
    std::array<float, 256> values{};
    for (size_t byte = 0; byte < values.size(); ++byte)
        values[byte] = static_cast<float>(byte) / 255.0f;
    return values;
}

constexpr std::array<float, 256> kByteValues = makeByteValues();

float valueOf(uint8_t byte) {
    return kByteValues[byte];
}

float valueOf(float value) {
    return value;
}

/**
 * One axis of the filter: `lines` lines of `sourceLength` pixels each, the source's pixels
 * `sourcePixelStride` channels apart within a line and its lines `sourceLineStride` apart, into
 * lines of targetLength pixels laid out by the target strides.
 */
struct AxisPass {
    int lines = 0;
    int sourceLength = 0;
    int targetLength = 0;
    size_t sourcePixelStride = 0;
    size_t sourceLineStride = 0;
    size_t targetPixelStride = 0;
    size_t targetLineStride = 0;

    template <typename Sample>
    std::vector<float> run(const std::vector<Sample>& source, size_t targetSize) const {
        std::vector<float> target(targetSize, 0.0f);
        const std::vector<Footprint> pixelFootprints = footprints(sourceLength, targetLength);
        for (int line = 0; line < lines; ++line) {
            const size_t sourceLine = static_cast<size_t>(line) * sourceLineStride;
            const size_t targetLine = static_cast<size_t>(line) * targetLineStride;
            for (int i = 0; i < targetLength; ++i) {
                const Footprint& footprint = pixelFootprints[static_cast<size_t>(i)];
                const float weight = 1.0f / static_cast<float>(footprint.count);
                float* out = &target[targetLine + static_cast<size_t>(i) * targetPixelStride];
                for (int j = footprint.first; j < footprint.first + footprint.count; ++j) {
                    const Sample* in =
                        &source[sourceLine + wrapped(j, sourceLength) * sourcePixelStride];
                    for (int c = 0; c < kChannels; ++c)
                        out[c] += weight * valueOf(in[c]);
                }
            }
        }
        return target;
    }
};

// Entry k is k / 256 of full intensity in bytes. The table has a 257th step so that full
// intensity comes back as 255, not 254.
constexpr std::array<uint8_t, kColourSteps + 1> makeColourTable() {
    std::array<uint8_t, kColourSteps + 1> table{};
    for (int k = 0; k <= kColourSteps; ++k)
        table[static_cast<size_t>(k)] = static_cast<uint8_t>(255.0 * k / kColourSteps + 0.5);
    return table;
}

constexpr std::array<uint8_t, kColourSteps + 1> kColourTable = makeColourTable();

uint8_t colourByte(float value) {
    const int step = static_cast<int>(static_cast<float>(kColourSteps) * value + 0.5f);
    return kColourTable[static_cast<size_t>(std::clamp(step, 0, kColourSteps))];
}

uint8_t alphaByte(float value) {
    return static_cast<uint8_t>(std::clamp(static_cast<int>(255.0f * value + 0.5f), 0, 255));
}

}  // namespace

std::optional<RgbaImage> resampleBox(const RgbaImage& source, int width, int height) {
    if (!source.isValid() || width < 1 || height < 1 || width > source.width ||
        height > source.height)
        return std::nullopt;

    const size_t channels = kChannels;
    const size_t sourceRow = static_cast<size_t>(source.width) * channels;
    const size_t targetRow = static_cast<size_t>(width) * channels;
    const AxisPass alongRows{.lines = source.height,
                             .sourceLength = source.width,
                             .targetLength = width,
                             .sourcePixelStride = channels,
                             .sourceLineStride = sourceRow,
                             .targetPixelStride = channels,
                             .targetLineStride = targetRow};
    const std::vector<float> rows =
        alongRows.run(source.pixels, targetRow * static_cast<size_t>(source.height));
    const AxisPass alongColumns{.lines = width,
                                .sourceLength = source.height,
                                .targetLength = height,
                                .sourcePixelStride = targetRow,
                                .sourceLineStride = channels,
                                .targetPixelStride = targetRow,
                                .targetLineStride = channels};
    const std::vector<float> result =
        alongColumns.run(rows, targetRow * static_cast<size_t>(height));

    RgbaImage target{width, height, std::vector<uint8_t>(result.size())};
    for (size_t i = 0; i < result.size(); ++i)
        target.pixels[i] = i % channels == kAlpha ? alphaByte(result[i]) : colourByte(result[i]);
    return target;
}
