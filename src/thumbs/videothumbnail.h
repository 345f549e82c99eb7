#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

#include "thumbs/imagefile.h"
#include "thumbs/thumbnailmaker.h"

/**
 * Whether a file starting with these bytes (at least 8) is laid out as a QuickTime or MP4 file
 * (.MOV, .MP4, .M4V): its first box is one such files start with. A HEIF file starts so too;
 * callers ask looksLikeHeif first.
 */
bool looksLikeVideo(std::span<const uint8_t> start);

/** How much of a video file, and how long, a thumbnail may take. */
struct VideoReadLimits {
    /** Bytes read while the container's boxes and index are parsed. */
    uint64_t indexBytes = uint64_t{32} * 1024 * 1024;
    /** Bytes read after that, for the frames up to the first that decodes. */
    uint64_t frameBytes = uint64_t{8} * 1024 * 1024;
    std::chrono::milliseconds time{10'000};
};

/**
 * The thumbnail of a QuickTime or MP4 video (FFmpeg's demuxer for them, whatever the file
 * starts with): its cover picture where it stores one, otherwise its first keyframe decoded and
 * turned upright as the track's display matrix says (videoOrientation). The source size is the
 * upright frame's and the duration the container's.
 *
 * Reads the container's index and the frames up to the first that decodes, never the media data
 * of other tracks: with the index at the start or the end of the file, that is the index and one
 * keyframe. Nothing, and no more read, once a read fails, once limits are spent, or when the file
 * does not parse, has no video track, a frame side above kMaxThumbnailSourceSide or more than
 * kMaxThumbnailSourcePixels pixels, or no frame decodes. No other file is ever opened (a
 * container may name data in others). May run on several threads at once.
 */
std::optional<Thumbnail> videoThumbnail(ImageFile& file, const VideoReadLimits& limits = {});
