#include "samplevideo.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>

namespace {

constexpr int kAudioRate = 44100;
constexpr int kFixedOne = 1 << 16;

struct OutputFree {
    void operator()(AVFormatContext* context) const {
        if (context->pb != nullptr)
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
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
using Output = std::unique_ptr<AVFormatContext, OutputFree>;
using Codec = std::unique_ptr<AVCodecContext, CodecFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

// The Exif orientation whose stored pixels a player turns clockwise by rotation degrees.
int orientationFor(int rotation) {
    switch (rotation) {
        case 90:
            return 6;
        case 180:
            return 3;
        case 270:
            return 8;
        default:
            return 1;
    }
}

// The track header's matrix a phone writes for the rotation, in 16.16 and 2.30 fixed point.
std::array<int32_t, 9> displayMatrix(int rotation) {
    const int32_t cosine = rotation == 0 ? kFixedOne : rotation == 180 ? -kFixedOne : 0;
    const int32_t sine = rotation == 90 ? kFixedOne : rotation == 270 ? -kFixedOne : 0;
    return {cosine, sine, 0, -sine, cosine, 0, 0, 0, 1 << 30};
}

// One frame of the upright picture: the landscape, the ball at its place and fresh noise.
SamplePicture drawFrame(const SamplePicture& landscape, int index, int frames) {
    SamplePicture frame = landscape;
    const double along = frames > 1 ? static_cast<double>(index) / (frames - 1) : 0.0;
    const double radius = std::min(frame.width, frame.height) / 10.0;
    const double centreX = radius + along * (frame.width - 2 * radius);
    const double centreY = frame.height * 0.7;
    uint32_t grain = 0x9E3779B9u ^ static_cast<uint32_t>(index * 7919 + 1);
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            uint8_t* pixel = &frame.rgb[(static_cast<size_t>(y) * frame.width + x) * 3];
            if (std::hypot(x - centreX, y - centreY) < radius)
                std::fill_n(pixel, 3, uint8_t{250});
            grain ^= grain << 13;
            grain ^= grain >> 17;
            grain ^= grain << 5;
            for (int c = 0; c < 3; ++c) {
                const int noisy = pixel[c] + static_cast<int>((grain >> (8 * c)) % 9) - 4;
                pixel[c] = static_cast<uint8_t>(std::clamp(noisy, 0, 255));
            }
        }
    }
    return frame;
}

class VideoWriter {
public:
    explicit VideoWriter(const SampleVideoSpec& spec) : spec_(spec) {}

    bool write(const std::filesystem::path& path) {
        // The encoders' statistics are not the caller's business; their errors are.
        av_log_set_level(AV_LOG_ERROR);
        AVFormatContext* raw = nullptr;
        if (avformat_alloc_output_context2(&raw, nullptr, spec_.container, path.c_str()) < 0)
            return false;
        output_.reset(raw);
        if (!openVideo() || (spec_.audio && !openAudio()) ||
            (!spec_.cover.rgb.empty() && !addCover()))
            return false;
        if (avio_open(&output_->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
            return false;
        AVDictionary* options = nullptr;
        if (spec_.indexAtStart)
            av_dict_set(&options, "movflags", "faststart", 0);
        const int header = avformat_write_header(output_.get(), &options);
        av_dict_free(&options);
        if (header < 0 || !writeCover() || !writeMedia() ||
            av_write_trailer(output_.get()) < 0)
            return false;
        output_.reset();
        return pad(path);
    }

private:
    bool openVideo() {
        const AVCodec* codec = avcodec_find_encoder_by_name(spec_.hevc ? "libx265" : "libx264");
        if (codec == nullptr && !spec_.hevc)
            codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
        video_.reset(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
        videoStream_ = avformat_new_stream(output_.get(), nullptr);
        if (!video_ || videoStream_ == nullptr)
            return false;
        const bool sideways = spec_.rotation == 90 || spec_.rotation == 270;
        video_->width = sideways ? spec_.height : spec_.width;
        video_->height = sideways ? spec_.width : spec_.height;
        video_->time_base = {1, spec_.framesPerSecond};
        video_->framerate = {spec_.framesPerSecond, 1};
        video_->pix_fmt = AV_PIX_FMT_YUV420P;
        // A keyframe every second, and only there, so that each second stands alone.
        video_->gop_size = spec_.framesPerSecond;
        video_->keyint_min = spec_.framesPerSecond;
        video_->thread_count = 0;
        if (spec_.bitRate > 0) {
            video_->bit_rate = spec_.bitRate;
            video_->rc_max_rate = spec_.bitRate * 3 / 2;
            video_->rc_buffer_size = static_cast<int>(spec_.bitRate);
        }
        if (std::strcmp(codec->name, "libx264") == 0) {
            av_opt_set(video_->priv_data, "preset", "veryfast", 0);
            av_opt_set(video_->priv_data, "x264-params", "scenecut=0:open-gop=0", 0);
        } else if (spec_.hevc) {
            av_opt_set(video_->priv_data, "preset", "ultrafast", 0);
            // One thread: x265's own threads share state that race checkers take for races.
            av_opt_set(video_->priv_data, "x265-params",
                       "scenecut=0:open-gop=0:log-level=error:pools=none:frame-threads=1", 0);
        }
        if (output_->oformat->flags & AVFMT_GLOBALHEADER)
            video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(video_.get(), codec, nullptr) < 0 ||
            avcodec_parameters_from_context(videoStream_->codecpar, video_.get()) < 0)
            return false;
        videoStream_->time_base = video_->time_base;
        // The sample entry Apple's players want for HEVC.
        if (spec_.hevc)
            videoStream_->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
        if (spec_.rotation != 0) {
            const std::array<int32_t, 9> matrix = displayMatrix(spec_.rotation);
            uint8_t* side = av_stream_new_side_data(videoStream_, AV_PKT_DATA_DISPLAYMATRIX,
                                                    sizeof matrix);
            if (side == nullptr)
                return false;
            std::memcpy(side, matrix.data(), sizeof matrix);
        }
        return true;
    }

    bool openAudio() {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
        audio_.reset(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
        audioStream_ = avformat_new_stream(output_.get(), nullptr);
        if (!audio_ || audioStream_ == nullptr)
            return false;
        audio_->sample_rate = kAudioRate;
        audio_->sample_fmt = AV_SAMPLE_FMT_FLTP;
        audio_->bit_rate = 64000;
        av_channel_layout_default(&audio_->ch_layout, 1);
        audio_->time_base = {1, kAudioRate};
        if (output_->oformat->flags & AVFMT_GLOBALHEADER)
            audio_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(audio_.get(), codec, nullptr) < 0 ||
            avcodec_parameters_from_context(audioStream_->codecpar, audio_.get()) < 0)
            return false;
        audioStream_->time_base = audio_->time_base;
        return true;
    }

    bool addCover() {
        coverStream_ = avformat_new_stream(output_.get(), nullptr);
        if (coverStream_ == nullptr)
            return false;
        coverStream_->disposition = AV_DISPOSITION_ATTACHED_PIC;
        coverStream_->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
        coverStream_->codecpar->codec_id = AV_CODEC_ID_MJPEG;
        coverStream_->codecpar->width = spec_.cover.width;
        coverStream_->codecpar->height = spec_.cover.height;
        return true;
    }

    bool writeCover() {
        if (coverStream_ == nullptr)
            return true;
        const std::vector<uint8_t> jpeg = cameraJpeg(spec_.cover, 1, 0);
        const Packet packet(av_packet_alloc());
        if (jpeg.empty() || !packet || av_new_packet(packet.get(), static_cast<int>(jpeg.size())) < 0)
            return false;
        std::memcpy(packet->data, jpeg.data(), jpeg.size());
        packet->stream_index = coverStream_->index;
        packet->flags |= AV_PKT_FLAG_KEY;
        return av_interleaved_write_frame(output_.get(), packet.get()) >= 0;
    }

    // Sends frame (null: the end) and keeps what the encoder gives back.
    static bool encode(AVCodecContext* encoder, const AVFrame* frame, std::vector<Packet>& into) {
        if (avcodec_send_frame(encoder, frame) < 0)
            return false;
        for (;;) {
            Packet packet(av_packet_alloc());
            if (!packet)
                return false;
            const int received = avcodec_receive_packet(encoder, packet.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return true;
            if (received < 0)
                return false;
            into.push_back(std::move(packet));
        }
    }

    bool encodeVideo(std::vector<Packet>& into) {
        const SamplePicture landscape = drawLandscape(spec_.width, spec_.height, 3);
        const Frame frame(av_frame_alloc());
        if (!frame)
            return false;
        frame->format = video_->pix_fmt;
        frame->width = video_->width;
        frame->height = video_->height;
        if (av_frame_get_buffer(frame.get(), 0) < 0)
            return false;
        const std::unique_ptr<SwsContext, ScalerFree> converter(
            sws_getContext(video_->width, video_->height, AV_PIX_FMT_RGB24, video_->width,
                           video_->height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr,
                           nullptr));
        if (!converter)
            return false;
        const int encoded = encodedFrames();
        for (int index = 0; index < encoded; ++index) {
            const SamplePicture stored = storedForOrientation(
                drawFrame(landscape, index, encoded), orientationFor(spec_.rotation));
            if (av_frame_make_writable(frame.get()) < 0)
                return false;
            const uint8_t* planes[] = {stored.rgb.data()};
            const int strides[] = {stored.width * 3};
            sws_scale(converter.get(), planes, strides, 0, stored.height, frame->data,
                      frame->linesize);
            frame->pts = index;
            if (!encode(video_.get(), frame.get(), into))
                return false;
        }
        return encode(video_.get(), nullptr, into);
    }

    bool encodeAudio(std::vector<Packet>& into) {
        const Frame frame(av_frame_alloc());
        if (!frame)
            return false;
        frame->format = audio_->sample_fmt;
        frame->nb_samples = audio_->frame_size;
        frame->sample_rate = audio_->sample_rate;
        if (av_channel_layout_copy(&frame->ch_layout, &audio_->ch_layout) < 0 ||
            av_frame_get_buffer(frame.get(), 0) < 0)
            return false;
        const int64_t samples = repeats() * encodedFrames() * kAudioRate / spec_.framesPerSecond;
        for (int64_t at = 0; at < samples; at += audio_->frame_size) {
            if (av_frame_make_writable(frame.get()) < 0)
                return false;
            std::memset(frame->data[0], 0, static_cast<size_t>(frame->linesize[0]));
            frame->pts = at;
            if (!encode(audio_.get(), frame.get(), into))
                return false;
        }
        return encode(audio_.get(), nullptr, into);
    }

    int encodedFrames() const {
        return spec_.repeatFirstSecond ? std::min(spec_.frames, spec_.framesPerSecond)
                                       : spec_.frames;
    }
    int64_t repeats() const { return (spec_.frames + encodedFrames() - 1) / encodedFrames(); }

    bool writePacket(const AVPacket& packet, const AVCodecContext& encoder, AVStream& stream,
                     int64_t shift) {
        const Packet copy(av_packet_clone(&packet));
        if (!copy)
            return false;
        copy->pts += shift;
        copy->dts += shift;
        av_packet_rescale_ts(copy.get(), encoder.time_base, stream.time_base);
        copy->stream_index = stream.index;
        return av_interleaved_write_frame(output_.get(), copy.get()) >= 0;
    }

    // Both tracks in the order of their decoding times, the video repeated as asked.
    bool writeMedia() {
        std::vector<Packet> video;
        std::vector<Packet> audio;
        if (!encodeVideo(video) || video.empty() || (spec_.audio && !encodeAudio(audio)))
            return false;
        const int64_t videoPackets = repeats() * static_cast<int64_t>(video.size());
        int64_t nextVideo = 0;
        size_t nextAudio = 0;
        while (nextVideo < videoPackets || nextAudio < audio.size()) {
            const auto repeat = nextVideo / static_cast<int64_t>(video.size());
            const AVPacket* frame =
                nextVideo < videoPackets
                    ? video[static_cast<size_t>(nextVideo % static_cast<int64_t>(video.size()))]
                          .get()
                    : nullptr;
            const int64_t shift = repeat * encodedFrames();
            const bool audioFirst =
                nextAudio < audio.size() &&
                (frame == nullptr || av_compare_ts(audio[nextAudio]->dts, audio_->time_base,
                                                   frame->dts + shift, video_->time_base) < 0);
            if (audioFirst ? !writePacket(*audio[nextAudio++], *audio_, *audioStream_, 0)
                           : !writePacket(*frame, *video_, *videoStream_, shift))
                return false;
            if (!audioFirst)
                ++nextVideo;
        }
        return true;
    }

    bool pad(const std::filesystem::path& path) const {
        std::error_code error;
        const uintmax_t size = std::filesystem::file_size(path, error);
        if (error)
            return false;
        constexpr uint64_t kBoxHeader = 8;
        if (spec_.paddedSize < size + kBoxHeader)
            return true;
        const uint64_t box = spec_.paddedSize - size;
        if (box > UINT32_MAX)
            return false;
        std::ofstream file(path, std::ios::binary | std::ios::app);
        const std::array<char, kBoxHeader> header = {
            static_cast<char>(box >> 24), static_cast<char>(box >> 16),
            static_cast<char>(box >> 8),  static_cast<char>(box),
            'f',                          'r',
            'e',                          'e'};
        file.write(header.data(), header.size());
        // Pseudo-random filling, as incompressible as media data.
        std::vector<uint64_t> block(64 * 1024);
        uint64_t state = 0x9E3779B97F4A7C15ull;
        for (uint64_t left = box - kBoxHeader; left > 0 && file;) {
            for (uint64_t& word : block) {
                state ^= state << 13;
                state ^= state >> 7;
                state ^= state << 17;
                word = state;
            }
            const uint64_t count = std::min<uint64_t>(left, block.size() * sizeof block[0]);
            file.write(reinterpret_cast<const char*>(block.data()),
                       static_cast<std::streamsize>(count));
            left -= count;
        }
        return static_cast<bool>(file);
    }

    const SampleVideoSpec& spec_;
    Output output_;
    Codec video_;
    Codec audio_;
    AVStream* videoStream_ = nullptr;
    AVStream* audioStream_ = nullptr;
    AVStream* coverStream_ = nullptr;
};

}  // namespace

bool writeSampleVideo(const std::filesystem::path& path, const SampleVideoSpec& spec) {
    return VideoWriter(spec).write(path);
}
