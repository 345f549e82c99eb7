#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "thumbs/imagedecoder.h"

/** Whether the bytes start like a JPEG file (a start-of-image marker and another marker). */
bool looksLikeJpeg(std::span<const uint8_t> file);

/**
 * A JPEG decoded by libjpeg-turbo, whose errors end the decode, never the program. decode scales
 * in the DCT by 1/2, 1/4 or 1/8 when the result still covers the size asked for, which takes a
 * fraction of the time and memory of a full decode.
 *
 * Refused from the header, before decoding: arithmetic coding (no camera writes it, and its data
 * can be far shorter than any bound that a decode could check), and entropy-coded data shorter
 * than the frame's blocks need (Huffman coding takes at least a bit per block of a scan's
 * component, so a header announcing a huge picture over a few bytes is not decoded).
 * Refused while decoding: data that ends early or breaks off at a marker (libjpeg-turbo would
 * fill the rest with grey), more than kMaxScans scans, and more than kMaxWorkingBytes for the
 * coefficients that progressive files keep for the whole picture.
 */
class JpegDecoder : public ImageDecoder {
public:
    static constexpr int kMaxScans = 100;
    static constexpr long kMaxWorkingBytes = 400L * 1024 * 1024;

    explicit JpegDecoder(std::span<const uint8_t> file);
    ~JpegDecoder() override;
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    std::optional<ImageSize> size() const override;
    std::optional<RgbaImage> decode(ImageSize atLeast) override;

private:
    struct State;

    std::optional<ImageSize> readHeader(std::span<const uint8_t> file);
    bool decodeInto(ImageSize atLeast);
    void chooseScale(ImageSize atLeast);

    // libjpeg-turbo's state and the error manager that jumps back here on an error; the pixels
    // live here too, so that the jump leaves no object on the stack to be destroyed.
    std::unique_ptr<State> state_;
    const std::optional<ImageSize> size_;
    std::vector<uint8_t> pixels_;
};
