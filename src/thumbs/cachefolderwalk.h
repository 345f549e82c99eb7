#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>

/**
 * A walk of the files below a folder that never follows a link, the folder itself included: a
 * folder that is a link, or a link inside it, is never entered, so that a link planted in a
 * cache cannot make its clearing delete, or its sizing count, files elsewhere. Every folder is
 * opened relative to its parent's descriptor, so a folder replaced by a link while the walk
 * runs is not entered either.
 */
class CacheFolderWalk {
public:
    explicit CacheFolderWalk(std::filesystem::path folder) : folder_(std::move(folder)) {}

    /**
     * The total size in bytes of the regular files below the folder; 0 when the folder is
     * missing or a link. Nothing when stop is raised before the sum is complete.
     */
    std::optional<uint64_t> totalSize(const std::atomic<bool>& stop) const;

    /** Removes every entry below the folder that is not a folder (links included); the folders
        stay. */
    void removeFiles() const;

private:
    std::filesystem::path folder_;
};
