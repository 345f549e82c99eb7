#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "thumbs/rgbaimage.h"
#include "values/zelbostring.h"

/** Width and height in pixels of the image a thumbnail was made from. */
struct ImageSize {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const ImageSize&) const = default;
};

/**
 * Thumbnails of device images kept on this computer, so that an image is fetched and decoded only
 * once. Entries are found by key (thumbnailCacheKey). An entry is two files named by the key's
 * hash (thumbnailCacheHash) in decimal: "<hash>.icache", the thumbnail as a PNG file that carries
 * the full key in an iTXt chunk, and "<hash>.iinfo", the source image's width and height as two
 * 32-bit little-endian signed numbers, followed for a video by its duration in milliseconds as a
 * 64-bit little-endian signed number.
 *
 * What a caller may rely on:
 * - A read answers only for the key the entry was written for: keys that share a hash replace
 *   each other's entry but never see each other's thumbnail or size.
 * - Files are written under temporary names and renamed into place, so a write cut short (a
 *   crash, a full disk) leaves the earlier entry or none, never a partial one.
 * - Files are opened without following links.
 * - Every operation may run on any thread, clear and totalSize while thumbnails are written.
 *   Every failure counts as not cached; nothing is reported.
 */
class ThumbnailCache {
public:
    /**
     * The cache in the folder "zelbocache" of the user's cache folder. Without a home folder every
     * read misses and every write fails.
     */
    ThumbnailCache();
    /** The cache in folder, created (with its missing ancestors, user-only) on the first write. */
    explicit ThumbnailCache(std::filesystem::path folder);

    /** The thumbnail stored for key, decoded; nothing when there is none for this key. */
    std::optional<RgbaImage> readThumbnail(const CZelboString& key) const;
    /** The source image size stored for key; nothing when there is no entry for this key. */
    std::optional<ImageSize> readImageSize(const CZelboString& key) const;
    /** The video duration stored for key; nothing when there is none or no entry for this key. */
    std::optional<std::chrono::milliseconds> readDuration(const CZelboString& key) const;
    /**
     * Stores the thumbnail, its source's size and a video's duration for key, replacing the entry
     * of any key with the same hash. True when both files are in place.
     */
    bool writeThumbnail(const CZelboString& key, const RgbaImage& thumbnail, ImageSize source,
                        std::optional<std::chrono::milliseconds> duration = std::nullopt) const;

    /**
     * The total size in bytes of the files below the folder, subfolders included (links are not
     * followed, the folder's own name included); 0 when the folder does not exist or is a link.
     * Nothing when stop is raised before the sum is complete.
     */
    std::optional<uint64_t> totalSize(const std::atomic<bool>& stop) const;
    /** Deletes every file below the folder, subfolders included; the folders stay. Nothing is
        deleted through a link, so a cache folder that is a link is left alone. */
    void clear() const;

    const std::optional<std::filesystem::path>& folder() const { return folder_; }

private:
    std::optional<std::filesystem::path> entryFile(uint32_t hash, const char* extension) const;
    /** The thumbnail file's contents when it was written for key. */
    std::optional<std::vector<uint8_t>> thumbnailFileFor(const CZelboString& key) const;
    /** The size file's contents, at least the size's bytes, when the entry is key's. */
    std::optional<std::vector<uint8_t>> infoFileFor(const CZelboString& key) const;

    std::optional<std::filesystem::path> folder_;
};
