#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "thumbs/thumbnailmaker.h"
#include "values/zelbostring.h"

class AFCDirectory;

/** How the thumbnail of one file read ahead came out. */
enum class ReadAheadOutcome {
    /** Made from the parts read ahead. */
    Made,
    /** Not made: the file's size is not its listed one, it does not decode, or reading stopped. */
    NotMade,
    /** Needs more of the file than is read ahead: for readThumbnail on the device file. */
    ReadAlone,
};

/**
 * The thumbnails of many files on one connection, made from parts of them read in streams of
 * requests in flight (AFCDirectory::partsOfEach) rather than one request after another: first
 * the head of each file, then, for a few rounds, the part each file's decoder missed (a HEIC's
 * thumbnail item, an Exif segment longer than the head), for all the files at once. A
 * thumbnail is taken only from a decode that read nothing outside the parts, so it is the one
 * readThumbnail makes of the whole file. Parts are bounded, so a round holds at most a few
 * hundred kilobytes a file.
 *
 * The files of a round are decoded on up to one thread a core, the calling one among them, while
 * the link is idle anyway: made(index, thumbnail) runs there for each thumbnail made, and may be
 * called from several threads at once (to store it, say), as shouldContinue may, which is asked
 * before each round and each file. Then settled(index, outcome) runs once for each file, on the
 * calling thread, in the files' order within each round and outside any stream (it may read the
 * device).
 */
void readThumbnailsAhead(AFCDirectory& connection, const std::vector<CZelboString>& paths,
                         const std::vector<uint64_t>& listedSizes,
                         const std::function<bool()>& shouldContinue,
                         const std::function<void(size_t, const Thumbnail&)>& made,
                         const std::function<void(size_t, ReadAheadOutcome)>& settled);
