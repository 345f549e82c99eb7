#pragma once

#include <cstdint>

/**
 * Where the file list's large styles ask for thumbnails. The answer comes later, on the
 * user-interface thread, through CListviewControl::thumbnailReady with the same generation; the
 * list drops answers of an older generation.
 */
class ThumbnailRequester {
public:
    virtual ~ThumbnailRequester() = default;

    /** Asks once for the thumbnail of item, made for the list's current generation. */
    virtual void requestThumbnail(int item, std::uint32_t generation) = 0;
    /**
     * The item, asked for before, is on show again without its thumbnail: it goes ahead of the
     * items asked for before it, so that rows on show are made before rows scrolled away.
     */
    virtual void thumbnailStillWanted(int item, std::uint32_t generation) = 0;
    /** Drops every request not yet answered (the list is about to show other items). */
    virtual void stopThumbnails() = 0;
};
