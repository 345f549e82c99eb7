#pragma once

// A temporary folder of a benchmark's run, removed with everything in it when the object goes,
// also when the run fails or is interrupted.

#include <filesystem>

class ScratchFolder {
public:
    /** Under $TMPDIR, else /tmp; throws std::runtime_error when it cannot be made. */
    explicit ScratchFolder(const char* prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};
