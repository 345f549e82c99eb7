#include "thumbs/jpegdecoder.h"

// jpeglib.h expects FILE and size_t to be declared before it.
#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <limits>

namespace {

struct ErrorManager {
    // First, so that libjpeg-turbo's pointer to it is a pointer to the whole.
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void endDecode(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// libjpeg-turbo warns and carries on where data is missing, filling the rest of the picture with
// grey; such a picture must not become a thumbnail. A progression out of order is refused as
// well: scans of AC coefficients alone can announce a huge picture in a few bytes.
void onMessage(j_common_ptr info, int level) {
    if (level >= 0)
        return;
    const int code = info->err->msg_code;
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_BOGUS_PROGRESSION)
        endDecode(info);
    ++info->err->num_warnings;
}

void onProgress(j_common_ptr info) {
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > JpegDecoder::kMaxScans)
        endDecode(info);
}

// Adobe's CMYK files store the inks inverted: each is the share of its colour's light kept.
void cmykToRgba(std::vector<uint8_t>& pixels) {
    for (size_t at = 0; at + 4 <= pixels.size(); at += 4) {
        const unsigned black = pixels[at + 3];
        for (size_t c = 0; c < 3; ++c)
            pixels[at + c] = static_cast<uint8_t>((pixels[at + c] * black + 127) / 255);
        pixels[at + 3] = 255;
    }
}

}  // namespace

struct JpegDecoder::State {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    jpeg_progress_mgr progress{};
    bool decodeStarted = false;
};

bool looksLikeJpeg(std::span<const uint8_t> file) {
    return file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF;
}

JpegDecoder::JpegDecoder(std::span<const uint8_t> file)
    : state_(std::make_unique<State>()), size_(readHeader(file)) {}

JpegDecoder::~JpegDecoder() {
    jpeg_destroy_decompress(&state_->info);
}

std::optional<ImageSize> JpegDecoder::size() const {
    return size_;
}

std::optional<ImageSize> JpegDecoder::readHeader(std::span<const uint8_t> file) {
    if (!looksLikeJpeg(file) || file.size() > std::numeric_limits<unsigned long>::max())
        return std::nullopt;
    jpeg_decompress_struct& info = state_->info;
    info.err = jpeg_std_error(&state_->errors.base);
    state_->errors.base.error_exit = endDecode;
    state_->errors.base.emit_message = onMessage;
    // Only objects without destructors live between here and any jump back.
    if (setjmp(state_->errors.jump) != 0)
        return std::nullopt;
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kMaxWorkingBytes;
    state_->progress.progress_monitor = onProgress;
    info.progress = &state_->progress;
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || info.arith_code)
        return std::nullopt;
    // The first scan codes every block of at least one component; that takes a bit a block.
    uint64_t fewestBlocks = std::numeric_limits<uint64_t>::max();
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        fewestBlocks = std::min(fewestBlocks, uint64_t{component.width_in_blocks} *
                                                  uint64_t{component.height_in_blocks});
    }
    if (uint64_t{info.src->bytes_in_buffer} * 8 < fewestBlocks)
        return std::nullopt;
    return ImageSize{static_cast<int32_t>(info.image_width),
                     static_cast<int32_t>(info.image_height)};
}

std::optional<RgbaImage> JpegDecoder::decode(ImageSize atLeast) {
    if (!size_ || state_->decodeStarted)
        return std::nullopt;
    state_->decodeStarted = true;
    if (!decodeInto(atLeast))
        return std::nullopt;
    return RgbaImage{static_cast<int>(state_->info.output_width),
                     static_cast<int>(state_->info.output_height), std::move(pixels_)};
}

void JpegDecoder::chooseScale(ImageSize atLeast) {
    jpeg_decompress_struct& info = state_->info;
    info.scale_num = 1;
    for (const unsigned denominator : {8u, 4u, 2u}) {
        info.scale_denom = denominator;
        jpeg_calc_output_dimensions(&info);
        if (static_cast<int64_t>(info.output_width) >= atLeast.width &&
            static_cast<int64_t>(info.output_height) >= atLeast.height)
            return;
    }
    info.scale_denom = 1;
}

bool JpegDecoder::decodeInto(ImageSize atLeast) {
    jpeg_decompress_struct& info = state_->info;
    if (setjmp(state_->errors.jump) != 0)
        return false;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    chooseScale(atLeast);
    jpeg_start_decompress(&info);
    const size_t stride = size_t{info.output_width} * 4;
    pixels_.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels_.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    // Every row is in; what may follow the last scan (its end marker) is not needed.
    if (cmyk)
        cmykToRgba(pixels_);
    return true;
}
