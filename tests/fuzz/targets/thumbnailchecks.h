#pragma once

#include <optional>

#include "fuzztargets.h"
#include "thumbs/thumbnailmaker.h"

/** What every thumbnail made must be: valid pixels inside the box, a source size in range. */
inline void checkThumbnail(const std::optional<Thumbnail>& thumbnail) {
    if (!thumbnail)
        return;
    fuzzCheck(thumbnail->image.isValid(), "a thumbnail's pixels match its size");
    fuzzCheck(
        thumbnail->image.width <= kThumbnailBoxSide && thumbnail->image.height <= kThumbnailBoxSide,
        "a thumbnail fits its box");
    fuzzCheck(thumbnail->source.width > 0 && thumbnail->source.height > 0,
              "a thumbnail's source has a size");
}
