#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "samplephotos.h"

/** What a sample video shows and how its file is laid out. */
struct SampleVideoSpec {
    /** The upright picture's size; even sides. */
    int width = 640;
    int height = 360;
    int framesPerSecond = 30;
    int frames = 90;
    /**
     * Degrees (0, 90, 180 or 270) a player turns the stored frames clockwise, as the display
     * matrix of a phone's video says: 90 for a video taken upright, stored sideways.
     */
    int rotation = 0;
    /** The index ('moov') before the media data, as streaming wants; after it otherwise. */
    bool indexAtStart = false;
    /** Average bits a second; 0 leaves the size to the encoder's quality setting. */
    int64_t bitRate = 0;
    /**
     * Only the first second is encoded and repeated for the later ones (each second is a group
     * of pictures of its own), the frames rounded up to whole seconds: quick to make a long file.
     */
    bool repeatFirstSecond = false;
    /** HEVC (libx265), as a phone records by default, instead of H.264. */
    bool hevc = false;
    /** A track of silent AAC audio interleaved with the video, as a phone records. */
    bool audio = false;
    /** A cover picture stored with the video as a JPEG; none when empty. MP4 only. */
    SamplePicture cover;
    /** "mov" (QuickTime, as a phone writes) or "mp4". */
    const char* container = "mov";
    /** When larger than the file, a 'free' box at its end brings it to this many bytes. */
    uint64_t paddedSize = 0;
};

/**
 * Writes a video of a drawn landscape (drawLandscape's, the red square at the upright picture's
 * top left) with a white ball moving across and fresh sensor noise in every frame: HEVC when
 * asked, else H.264 where libavcodec has libx264, MPEG-4 part 2 otherwise. False when it cannot
 * be written (HEVC without libx265 among them).
 */
bool writeSampleVideo(const std::filesystem::path& path, const SampleVideoSpec& spec);
