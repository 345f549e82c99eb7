// The video reader over a file in memory: FFmpeg's QuickTime and MP4 demuxer, then the cover
// picture or the first keyframe that decodes; within small limits, which it must keep to.
#include <chrono>

#include "fuzztargets.h"
#include "thumbnailchecks.h"
#include "thumbs/memoryimagefile.h"
#include "thumbs/videothumbnail.h"

namespace {

class CountedFile : public ImageFile {
public:
    explicit CountedFile(std::span<const uint8_t> bytes) : file_(bytes) {}

    uint64_t size() const override { return file_.size(); }
    bool read(uint64_t offset, std::span<uint8_t> into) override {
        bytesRead += into.size();
        return file_.read(offset, into);
    }

    uint64_t bytesRead = 0;

private:
    MemoryImageFile file_;
};

}  // namespace

void fuzzVideoThumbnail(const uint8_t* data, size_t size) {
    const VideoReadLimits limits{256 * 1024, 256 * 1024, std::chrono::seconds(5)};
    CountedFile file({data, size});
    const std::optional<Thumbnail> thumbnail = videoThumbnail(file, limits);
    checkThumbnail(thumbnail);
    fuzzCheck(file.bytesRead <= limits.indexBytes + limits.frameBytes,
              "a video is read within its allowance");
    fuzzCheck(!thumbnail || !thumbnail->duration || thumbnail->duration->count() >= 0,
              "a video's duration is not negative");
}
