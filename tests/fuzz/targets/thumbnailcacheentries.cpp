// Entries of the thumbnail disk cache as another program, a crash or a damaged disk may leave
// them: the size file and the thumbnail file of one key, each with any contents.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzzinput.h"
#include "fuzztargets.h"
#include "thumbs/thumbnailcache.h"
#include "thumbs/thumbnailcachekey.h"

namespace {

// One folder for the process, removed when it ends.
class CacheFolder {
public:
    CacheFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "plovik-fuzz-XXXXXX");
        fuzzCheck(mkdtemp(pattern.data()) != nullptr, "a temporary folder");
        path_ = pattern;
    }
    ~CacheFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

void write(const std::filesystem::path& file, std::span<const uint8_t> bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

void fuzzThumbnailCacheEntries(const uint8_t* data, size_t size) {
    static const CacheFolder folder;
    static const CZelboString key(u"0123456789abcdef|/DCIM/100APPLE/IMG_0001.JPG|1700000000|4096");
    FuzzInput input(data, size);
    const auto sizeFile = input.take(input.byte() % 16);
    const std::string hash = std::to_string(thumbnailCacheHash(key));
    write(folder.path() / (hash + ".iinfo"), sizeFile);
    write(folder.path() / (hash + ".icache"), input.rest());

    const ThumbnailCache cache(folder.path());
    if (const auto thumbnail = cache.readThumbnail(key))
        fuzzCheck(thumbnail->isValid(), "a cached thumbnail's pixels match its size");
    if (const auto source = cache.readImageSize(key))
        fuzzCheck(sizeFile.size() >= 8, "a size comes from a size file of two numbers");
}
