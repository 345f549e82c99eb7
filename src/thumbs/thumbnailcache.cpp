#include "thumbs/thumbnailcache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>

#include "afc/localfile.h"
#include "thumbs/cachefolderwalk.h"
#include "thumbs/pngtextchunk.h"
#include "thumbs/thumbnailcachekey.h"
#include "values/userfolders.h"

namespace {

constexpr char kKeyKeyword[] = "Plovik cache key";
constexpr size_t kImageSizeBytes = 8;
constexpr size_t kDurationBytes = 8;
// Far above any thumbnail: a larger file is not ours and is not read into memory.
constexpr off_t kMaxEntryBytes = 16 * 1024 * 1024;

// Serialises the steps that replace an entry's two files, so that two threads writing keys with
// the same hash cannot leave one key's thumbnail beside the other's size.
std::mutex& replacementMutex() {
    static std::mutex mutex;
    return mutex;
}

class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0)
            ::close(descriptor_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return descriptor_; }

private:
    int descriptor_;
};

// The contents of a regular file that is not a link; nothing when missing, empty or too large.
std::optional<std::vector<uint8_t>> readEntryFile(const std::filesystem::path& path) {
    // O_NONBLOCK: a fifo in the entry's place must not hang the reader.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size <= 0 || status.st_size > kMaxEntryBytes)
        return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(status.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        done += static_cast<size_t>(count);
    }
    // A file that shrank while being read is being replaced; the next read finds the new one.
    bytes.resize(done);
    if (bytes.empty())
        return std::nullopt;
    return bytes;
}

// A complete file under a temporary name beside its target, removed unless moved into place.
class StagedFile {
public:
    StagedFile(const std::filesystem::path& target, const std::vector<uint8_t>& bytes) {
        LocalFile file = LocalFile::createBeside(CZelboString::fromUtf8(target.string()));
        if (!file.isOpen())
            return;
        path_ = file.path();
        written_ = file.writeAll(bytes.data(), bytes.size()) && file.close();
    }
    ~StagedFile() {
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    bool isWritten() const { return written_; }
    bool moveTo(const std::filesystem::path& target) {
        if (!written_ || ::rename(path_.c_str(), target.c_str()) != 0)
            return false;
        path_.clear();
        return true;
    }

private:
    std::string path_;
    bool written_ = false;
};

void appendLittleEndian(std::vector<uint8_t>& bytes, uint64_t bits, int count) {
    for (int shift = 0; shift < 8 * count; shift += 8)
        bytes.push_back(static_cast<uint8_t>(bits >> shift));
}

std::vector<uint8_t> infoBytes(ImageSize size, std::optional<std::chrono::milliseconds> duration) {
    std::vector<uint8_t> bytes;
    for (const int32_t value : {size.width, size.height})
        appendLittleEndian(bytes, static_cast<uint32_t>(value), 4);
    if (duration)
        appendLittleEndian(bytes, static_cast<uint64_t>(duration->count()), 8);
    return bytes;
}

int32_t littleEndian32(const uint8_t* bytes) {
    return static_cast<int32_t>(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 |
                                uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24);
}

}  // namespace

ThumbnailCache::ThumbnailCache() {
    if (const auto userFolder = userCacheFolder())
        folder_ = *userFolder / "zelbocache";
}

ThumbnailCache::ThumbnailCache(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::optional<std::filesystem::path> ThumbnailCache::entryFile(uint32_t hash,
                                                               const char* extension) const {
    if (!folder_)
        return std::nullopt;
    return *folder_ / (std::to_string(hash) + extension);
}

std::optional<std::vector<uint8_t>> ThumbnailCache::thumbnailFileFor(
    const CZelboString& key) const {
    const auto path = entryFile(thumbnailCacheHash(key), ".icache");
    if (!path)
        return std::nullopt;
    auto png = readEntryFile(*path);
    if (!png || findTextChunk(*png, kKeyKeyword) != key.toUtf8())
        return std::nullopt;
    return png;
}

std::optional<RgbaImage> ThumbnailCache::readThumbnail(const CZelboString& key) const {
    const auto png = thumbnailFileFor(key);
    if (!png)
        return std::nullopt;
    return decodeImage(*png);
}

std::optional<std::vector<uint8_t>> ThumbnailCache::infoFileFor(const CZelboString& key) const {
    // The size file cannot say whose it is; the thumbnail beside it can.
    if (!thumbnailFileFor(key))
        return std::nullopt;
    auto bytes = readEntryFile(*entryFile(thumbnailCacheHash(key), ".iinfo"));
    if (!bytes || bytes->size() < kImageSizeBytes)
        return std::nullopt;
    return bytes;
}

std::optional<ImageSize> ThumbnailCache::readImageSize(const CZelboString& key) const {
    const auto bytes = infoFileFor(key);
    if (!bytes)
        return std::nullopt;
    return ImageSize{littleEndian32(bytes->data()), littleEndian32(bytes->data() + 4)};
}

std::optional<std::chrono::milliseconds> ThumbnailCache::readDuration(
    const CZelboString& key) const {
    const auto bytes = infoFileFor(key);
    if (!bytes || bytes->size() < kImageSizeBytes + kDurationBytes)
        return std::nullopt;
    const auto low = static_cast<uint32_t>(littleEndian32(bytes->data() + kImageSizeBytes));
    const auto high = static_cast<uint32_t>(littleEndian32(bytes->data() + kImageSizeBytes + 4));
    const auto milliseconds = static_cast<int64_t>(uint64_t{high} << 32 | low);
    if (milliseconds < 0)
        return std::nullopt;
    return std::chrono::milliseconds(milliseconds);
}

bool ThumbnailCache::writeThumbnail(const CZelboString& key, const RgbaImage& thumbnail,
                                    ImageSize source,
                                    std::optional<std::chrono::milliseconds> duration) const {
    if (!folder_ || !createPrivateFolder(*folder_))
        return false;
    const auto png = encodePng(thumbnail);
    if (!png)
        return false;
    const auto tagged = withTextChunk(*png, kKeyKeyword, key.toUtf8());
    if (!tagged)
        return false;

    const uint32_t hash = thumbnailCacheHash(key);
    const std::filesystem::path imagePath = *entryFile(hash, ".icache");
    const std::filesystem::path sizePath = *entryFile(hash, ".iinfo");
    StagedFile image(imagePath, *tagged);
    StagedFile size(sizePath, infoBytes(source, duration));
    if (!image.isWritten() || !size.isWritten())
        return false;

    const std::lock_guard lock(replacementMutex());
    // The old size goes first: between the two renames a reader finds the new thumbnail without
    // a size, never the new thumbnail with the size of another key.
    if (::unlink(sizePath.c_str()) != 0 && errno != ENOENT)
        return false;
    return image.moveTo(imagePath) && size.moveTo(sizePath);
}

std::optional<uint64_t> ThumbnailCache::totalSize(const std::atomic<bool>& stop) const {
    if (!folder_)
        return stop ? std::nullopt : std::optional<uint64_t>(0);
    return CacheFolderWalk(*folder_).totalSize(stop);
}

void ThumbnailCache::clear() const {
    if (folder_)
        CacheFolderWalk(*folder_).removeFiles();
}
