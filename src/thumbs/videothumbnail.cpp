#include "thumbs/videothumbnail.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>

#include "thumbs/boxfit.h"
#include "thumbs/exiforientation.h"
#include "thumbs/videoinput.h"
#include "thumbs/videoorientation.h"

namespace {

// The boxes a QuickTime or MP4 file starts with.
constexpr std::array<std::string_view, 7> kLeadingBoxes = {"ftyp", "moov", "mdat", "wide",
                                                           "free", "skip", "pnot"};
// Far above a keyframe's needs, far below what a hostile index could ask for at once.
constexpr size_t kMaxAllocation = size_t{256} * 1024 * 1024;
// Packets read before giving up on a frame; the byte allowance usually ends it first.
constexpr int kMaxPackets = 512;

struct InputClose {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFree {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
using Input = std::unique_ptr<AVFormatContext, InputClose>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

// A hostile file's messages are no one's business, and its index may not take all memory.
void setUpFfmpeg() {
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_level(AV_LOG_QUIET);
        av_max_alloc(kMaxAllocation);
    });
}

int interrupted(void* input) { return static_cast<const VideoInput*>(input)->pastDeadline(); }

int refuseOtherFiles(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

bool withinCaps(int width, int height) {
    return width >= 1 && height >= 1 && width <= kMaxThumbnailSourceSide &&
           height <= kMaxThumbnailSourceSide &&
           int64_t{width} * height <= kMaxThumbnailSourcePixels;
}

Input openContainer(VideoInput& input) {
    AVFormatContext* context = avformat_alloc_context();
    if (context == nullptr)
        return nullptr;
    context->pb = input.context();
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    context->interrupt_callback = {&interrupted, &input};
    context->io_open = &refuseOtherFiles;
    AVDictionary* options = nullptr;
    // A chapter track would be read sample by sample; a thumbnail needs none.
    av_dict_set(&options, "ignore_chapters", "1", 0);
    // The QuickTime and MP4 demuxer alone: nothing else looks at a device's file.
    const int opened = avformat_open_input(&context, "", av_find_input_format("mov"), &options);
    av_dict_free(&options);
    // A failed open has freed the context.
    return opened < 0 ? nullptr : Input(context);
}

std::optional<std::chrono::milliseconds> durationOf(const AVFormatContext& container,
                                                    const AVStream& video) {
    if (container.duration != AV_NOPTS_VALUE && container.duration >= 0)
        return std::chrono::milliseconds(container.duration / 1000);
    if (video.duration != AV_NOPTS_VALUE && video.duration >= 0 && video.time_base.den > 0)
        return std::chrono::milliseconds(av_rescale_q(video.duration, video.time_base, {1, 1000}));
    return std::nullopt;
}

int orientationOf(const AVStream& video) {
    size_t size = 0;
    const uint8_t* matrix = av_stream_get_side_data(&video, AV_PKT_DATA_DISPLAYMATRIX, &size);
    std::array<int32_t, 9> entries{};
    if (matrix == nullptr || size < sizeof entries)
        return 1;
    std::memcpy(entries.data(), matrix, sizeof entries);
    return videoOrientation(entries);
}

// The frame shrunk into the box and turned to RGBA; nothing when its format cannot be.
std::optional<RgbaImage> fittedRgba(const AVFrame& frame) {
    const auto format = static_cast<AVPixelFormat>(frame.format);
    if (!withinCaps(frame.width, frame.height) || !sws_isSupportedInput(format))
        return std::nullopt;
    const FittedSize fitted =
        fitIntoBox(frame.width, frame.height, kThumbnailBoxSide, kThumbnailBoxSide);
    const std::unique_ptr<SwsContext, ScalerFree> scaler(
        sws_getContext(frame.width, frame.height, format, fitted.width, fitted.height,
                       AV_PIX_FMT_RGBA, SWS_AREA, nullptr, nullptr, nullptr));
    const Frame scaled(av_frame_alloc());
    if (!scaler || !scaled)
        return std::nullopt;
    // The frame's own colours, whatever swscale would assume.
    sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(frame.colorspace),
                             frame.color_range == AVCOL_RANGE_JPEG ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    scaled->format = AV_PIX_FMT_RGBA;
    scaled->width = fitted.width;
    scaled->height = fitted.height;
    if (av_frame_get_buffer(scaled.get(), 0) < 0 ||
        sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, scaled->data,
                  scaled->linesize) != fitted.height)
        return std::nullopt;
    const auto rowBytes = static_cast<size_t>(fitted.width) * 4;
    RgbaImage image{fitted.width, fitted.height,
                    std::vector<uint8_t>(rowBytes * static_cast<size_t>(fitted.height))};
    for (int y = 0; y < fitted.height; ++y) {
        std::memcpy(image.pixels.data() + rowBytes * static_cast<size_t>(y),
                    scaled->data[0] + static_cast<ptrdiff_t>(scaled->linesize[0]) * y, rowBytes);
    }
    return image;
}

/** Decodes the video track's first keyframe that decodes, reading no other track's data. */
class KeyframeDecoder {
public:
    KeyframeDecoder(AVFormatContext& container, const AVStream& video, VideoInput& input)
        : container_(container), video_(video), input_(input) {}

    Frame decode() {
        const AVCodec* codec = avcodec_find_decoder(video_.codecpar->codec_id);
        const std::unique_ptr<AVCodecContext, CodecFree> decoder(
            codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
        const Packet packet(av_packet_alloc());
        Frame frame(av_frame_alloc());
        if (!decoder || !packet || !frame ||
            avcodec_parameters_to_context(decoder.get(), video_.codecpar) < 0)
            return nullptr;
        // One frame on the worker's own thread; only keyframes are worth decoding. The coded data
        // may announce a larger frame than the container did: the decoder refuses it too.
        decoder->thread_count = 1;
        decoder->skip_frame = AVDISCARD_NONKEY;
        decoder->max_pixels = kMaxThumbnailSourcePixels;
        if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
            return nullptr;
        for (int packets = 0; packets < kMaxPackets && !input_.pastDeadline(); ++packets) {
            if (av_read_frame(&container_, packet.get()) < 0)
                return nullptr;
            const bool keyframe = packet->stream_index == video_.index &&
                                  (packet->flags & AV_PKT_FLAG_KEY) != 0;
            // The keyframe alone, then the end: the decoder gives its picture at once, without
            // waiting for frames that would follow it in display order.
            const bool decoded = keyframe && avcodec_send_packet(decoder.get(), packet.get()) >= 0 &&
                                 avcodec_send_packet(decoder.get(), nullptr) >= 0 &&
                                 avcodec_receive_frame(decoder.get(), frame.get()) >= 0;
            av_packet_unref(packet.get());
            if (decoded)
                return frame;
            if (keyframe)
                avcodec_flush_buffers(decoder.get());
        }
        return nullptr;
    }

private:
    AVFormatContext& container_;
    const AVStream& video_;
    VideoInput& input_;
};

struct Tracks {
    const AVStream* video = nullptr;
    const AVStream* cover = nullptr;
};

Tracks tracksOf(const AVFormatContext& container) {
    Tracks tracks;
    for (unsigned index = 0; index < container.nb_streams; ++index) {
        const AVStream* stream = container.streams[index];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
            continue;
        if ((stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0) {
            if (tracks.cover == nullptr && stream->attached_pic.size > 0)
                tracks.cover = stream;
        } else if (tracks.video == nullptr) {
            tracks.video = stream;
        }
    }
    return tracks;
}

}  // namespace

bool looksLikeVideo(std::span<const uint8_t> start) {
    if (start.size() < 8)
        return false;
    const std::string_view type(reinterpret_cast<const char*>(start.data()) + 4, 4);
    return std::find(kLeadingBoxes.begin(), kLeadingBoxes.end(), type) != kLeadingBoxes.end();
}

std::optional<Thumbnail> videoThumbnail(ImageFile& file, const VideoReadLimits& limits) {
    setUpFfmpeg();
    VideoInput input(file, limits.indexBytes, VideoInput::Clock::now() + limits.time);
    if (input.context() == nullptr)
        return std::nullopt;
    const Input container = openContainer(input);
    if (!container)
        return std::nullopt;
    const Tracks tracks = tracksOf(*container);
    if (tracks.video == nullptr)
        return std::nullopt;
    const AVCodecParameters& coded = *tracks.video->codecpar;
    if (!withinCaps(coded.width, coded.height))
        return std::nullopt;
    const int orientation = orientationOf(*tracks.video);
    const ImageSize source = orientationTurnsSideways(orientation)
                                 ? ImageSize{coded.height, coded.width}
                                 : ImageSize{coded.width, coded.height};
    const std::optional<std::chrono::milliseconds> duration =
        durationOf(*container, *tracks.video);

    if (tracks.cover != nullptr) {
        const AVPacket& cover = tracks.cover->attached_pic;
        if (std::optional<Thumbnail> made = makeThumbnail(
                std::span(cover.data, static_cast<size_t>(cover.size))))
            return Thumbnail{std::move(made->image), source, duration};
    }

    for (unsigned index = 0; index < container->nb_streams; ++index) {
        if (container->streams[index] != tracks.video)
            container->streams[index]->discard = AVDISCARD_ALL;
    }
    input.allowMore(limits.frameBytes);
    const Frame frame = KeyframeDecoder(*container, *tracks.video, input).decode();
    if (!frame)
        return std::nullopt;
    std::optional<RgbaImage> fitted = fittedRgba(*frame);
    if (!fitted)
        return std::nullopt;
    return Thumbnail{orientUpright(*fitted, orientation), source, duration};
}
