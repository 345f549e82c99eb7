#include "thumbs/thumbcreator.h"

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/mobiledevicelibrary.h"
#include "fstree/simulatedtree.h"
#include "samplephotos.h"
#include "support/allocationgauge.h"
#include "support/imagebytes.h"
#include "support/simulateddevice.h"
#include "support/temporaryfolder.h"
#include "thumbs/memoryimagefile.h"
#include "thumbs/thumbnailcache.h"
#include "thumbs/thumbnailcachekey.h"
#include "thumbs/thumbnailmaker.h"
#include "thumbs/thumbnailreader.h"

namespace fs = std::filesystem;
using ZelboLib::FileSystemNode;

namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

Bytes png(int width, int height, uint8_t red) {
    Bytes pixels;
    for (int i = 0; i < width * height; ++i)
        pixels.insert(pixels.end(), {red, 40, 90, 255});
    Bytes file;
    stbi_write_png_to_func(appendWritten<Bytes>, &file, width, height, 4, pixels.data(), width * 4);
    return file;
}

// A valid image followed by padding that decoders ignore: reading it takes long.
Bytes paddedPng(size_t totalBytes) {
    Bytes file = png(40, 30, 200);
    file.resize(totalBytes, 0);
    return file;
}

// The simulator's AFC reads as this process sees them: bytes served per file name, and the
// reads of one file slowed down.
struct DeviceReads {
    std::mutex mutex;
    std::map<AFCFileRef, std::string> openFiles;
    std::map<std::string, uint64_t> bytes;
    std::string slowFile;
};

DeviceReads& deviceReads() {
    static DeviceReads reads;
    return reads;
}

using OpenFunction = int (*)(AFCConnectionRef, const char*, uint64_t, int, AFCFileRef*);
using ReadFunction = int (*)(AFCConnectionRef, AFCFileRef, void*, uint32_t*);
OpenFunction realOpen = nullptr;
ReadFunction realRead = nullptr;

int watchedOpen(AFCConnectionRef connection, const char* path, uint64_t mode, int reserved,
                AFCFileRef* file) {
    const int result = realOpen(connection, path, mode, reserved, file);
    if (result == 0) {
        const std::lock_guard lock(deviceReads().mutex);
        deviceReads().openFiles[*file] = fs::path(path).filename().string();
    }
    return result;
}

int watchedRead(AFCConnectionRef connection, AFCFileRef file, void* buffer, uint32_t* length) {
    DeviceReads& reads = deviceReads();
    bool slow = false;
    std::string name;
    {
        const std::lock_guard lock(reads.mutex);
        name = reads.openFiles[file];
        slow = name == reads.slowFile;
    }
    if (slow)
        std::this_thread::sleep_for(30ms);
    const int result = realRead(connection, file, buffer, length);
    const std::lock_guard lock(reads.mutex);
    if (result == 0)
        reads.bytes[name] += *length;
    return result;
}

using PartStreamFunction = int (*)(AFCConnectionRef, const char* const*, const uint64_t*,
                                   const uint64_t*, size_t, AFCFilePartHandler, void*);
PartStreamFunction realPartStream = nullptr;

// Counts the bytes of the parts read ahead as reads of their files.
int watchedPartStream(AFCConnectionRef connection, const char* const* paths,
                      const uint64_t* offsets, const uint64_t* lengths, size_t count,
                      AFCFilePartHandler handler, void* context) {
    struct Watch {
        const char* const* paths;
        AFCFilePartHandler handler;
        void* context;
    } watch{paths, handler, context};
    return realPartStream(
        connection, paths, offsets, lengths, count,
        [](void* watching, size_t index, int result, uint64_t size, const void* bytes,
           uint64_t length) {
            const Watch& to = *static_cast<Watch*>(watching);
            if (result == 0) {
                const std::lock_guard lock(deviceReads().mutex);
                deviceReads().bytes[fs::path(to.paths[index]).filename().string()] += length;
            }
            to.handler(to.context, index, result, size, bytes, length);
        },
        &watch);
}

// Puts the watch between the process and the simulator while it lives.
class WatchedReads {
public:
    WatchedReads() {
        realOpen =
            reinterpret_cast<OpenFunction>(SimulatedDevice::simulatorEntry("AFCFileRefOpen"));
        realRead =
            reinterpret_cast<ReadFunction>(SimulatedDevice::simulatorEntry("AFCFileRefRead"));
        realPartStream = reinterpret_cast<PartStreamFunction>(
            SimulatedDevice::simulatorEntry("AFCFilePartStream"));
        MobileDeviceLibrary::instance().setResolver([](const char* name) -> void* {
            if (std::strcmp(name, "AFCFileRefOpen") == 0)
                return reinterpret_cast<void*>(&watchedOpen);
            if (std::strcmp(name, "AFCFileRefRead") == 0)
                return reinterpret_cast<void*>(&watchedRead);
            if (std::strcmp(name, "AFCFilePartStream") == 0)
                return reinterpret_cast<void*>(&watchedPartStream);
            return SimulatedDevice::simulatorEntry(name);
        });
    }
    ~WatchedReads() {
        MobileDeviceLibrary::instance().setResolver({});
        const std::lock_guard lock(deviceReads().mutex);
        deviceReads().openFiles.clear();
        deviceReads().bytes.clear();
        deviceReads().slowFile.clear();
    }
    WatchedReads(const WatchedReads&) = delete;
    WatchedReads& operator=(const WatchedReads&) = delete;

    uint64_t bytesRead(const std::string& name) {
        const std::lock_guard lock(deviceReads().mutex);
        return deviceReads().bytes[name];
    }
    void slowDown(const std::string& name) {
        const std::lock_guard lock(deviceReads().mutex);
        deviceReads().slowFile = name;
    }
    bool waitUntilRead(const std::string& name) {
        for (int tries = 0; tries < 1000 && bytesRead(name) == 0; ++tries)
            std::this_thread::sleep_for(10ms);
        return bytesRead(name) > 0;
    }
};

// The completions, as the creator's threads report them.
class Completions {
public:
    std::function<void(const ThumbnailRequest&)> recorder() {
        return [this](const ThumbnailRequest& request) {
            const std::lock_guard lock(mutex_);
            done_.push_back(request.node->name().toUtf8());
            tags_.emplace_back(request.tag1, request.tag2);
            changed_.notify_all();
        };
    }
    bool waitFor(size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 20s, [&] { return done_.size() >= count; });
    }
    std::vector<std::string> names() {
        const std::lock_guard lock(mutex_);
        return done_;
    }
    std::vector<std::pair<std::uintptr_t, std::uintptr_t>> tags() {
        const std::lock_guard lock(mutex_);
        return tags_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> done_;
    std::vector<std::pair<std::uintptr_t, std::uintptr_t>> tags_;
};

class ThumbCreatorTest : public testing::Test {
protected:
    std::shared_ptr<FileSystemNode> write(const std::string& name, const Bytes& contents) {
        std::ofstream(phone.media() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.data()),
                   static_cast<std::streamsize>(contents.size()));
        return nodeOf(name);
    }
    std::shared_ptr<FileSystemNode> nodeOf(const std::string& name) {
        media->loadChildren();
        return deviceNode->nodeForPath(CZelboString::fromUtf8("/Media/" + name));
    }
    ThumbnailRequest request(const std::shared_ptr<FileSystemNode>& node) {
        ThumbnailRequest made;
        made.node = node;
        made.completion = completions.recorder();
        return made;
    }
    void queue(const std::shared_ptr<FileSystemNode>& node) {
        EXPECT_EQ(creator.getThumbnail(request(node), true, true), std::nullopt);
    }
    bool cached(const std::shared_ptr<FileSystemNode>& node) const {
        return cache.readThumbnail(thumbnailCacheKey(*node)).has_value();
    }

    SimulatedDevice phone;
    std::shared_ptr<ZelboLib::DeviceFileSystemNode> deviceNode = deviceNodeOf(phone);
    std::shared_ptr<FileSystemNode> media = deviceNode->nodeForPath(u"/Media");
    TemporaryFolder cacheFolder;
    ThumbnailCache cache{cacheFolder.path()};
    WatchedReads reads;
    Completions completions;
    ThumbCreator creator{cache};
};

TEST_F(ThumbCreatorTest, VideoIsMadeFromItsIndexAndOneKeyframeWithItsDuration) {
    std::ifstream sample(fs::path(PLOVIK_VIDEO_SAMPLES) / "index-at-end.mov", std::ios::binary);
    const Bytes contents{std::istreambuf_iterator<char>(sample), {}};
    const auto video = write("IMG_0001.MOV", contents);
    EXPECT_EQ(creator.getThumbnail(request(video), true, true), std::nullopt);
    ASSERT_TRUE(completions.waitFor(1));
    const std::optional<RgbaImage> thumbnail = creator.getThumbnail(request(video), false, true);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width, 200);
    const CZelboString key = thumbnailCacheKey(*video);
    EXPECT_EQ(cache.readImageSize(key), (ImageSize{640, 360}));
    ASSERT_TRUE(cache.readDuration(key));
    EXPECT_NEAR(static_cast<double>(cache.readDuration(key)->count()), 10'000, 50);
    // Of nearly 5 MB, the index's and one keyframe's blocks.
    EXPECT_LT(reads.bytesRead("IMG_0001.MOV"), 300'000u);
}

TEST_F(ThumbCreatorTest, CameraPhotosAreMadeFromTheirHeadsAndPreviewsAsFromTheWholeFiles) {
    const SamplePicture picture = drawLandscape(2000, 1500, 4);
    const Bytes jpeg = cameraJpeg(picture, 6, 160);
    // Made at build time: an HEVC encoder in the test itself trips the memory checker.
    std::ifstream sample(fs::path(PLOVIK_HEIC_SAMPLES) / "camera-8.heic", std::ios::binary);
    const Bytes heic{std::istreambuf_iterator<char>(sample), {}};
    std::vector<std::pair<std::string, Bytes>> photos;
    for (int i = 0; i < 40; ++i) {
        if (i % 2 == 0 || !heic.empty())
            photos.emplace_back("IMG_" + std::to_string(i) + (i % 2 == 0 ? ".JPG" : ".HEIC"),
                                i % 2 == 0 ? jpeg : heic);
    }
    // Once as the stream of parts reads them, once one request at a time when it fails.
    for (const int streamFault : {0, 4}) {
        setSimulatorFault("AFCFilePartStream", streamFault);
        TemporaryFolder folder;
        ThumbnailCache madeCache(folder.path());
        Completions made;
        {
            ThumbCreator madeBy(madeCache);
            for (const auto& [name, contents] : photos) {
                ThumbnailRequest asked = request(write(name, contents));
                asked.completion = made.recorder();
                madeBy.getThumbnail(std::move(asked), true, true);
            }
            ASSERT_TRUE(made.waitFor(photos.size()));
        }
        for (const auto& [name, contents] : photos) {
            MemoryImageFile whole(contents);
            const std::optional<Thumbnail> expected = readThumbnail(whole);
            ASSERT_TRUE(expected);
            const CZelboString key = thumbnailCacheKey(*nodeOf(name));
            const std::optional<RgbaImage> thumbnail = madeCache.readThumbnail(key);
            ASSERT_TRUE(thumbnail) << name << " " << streamFault;
            EXPECT_EQ(thumbnail->pixels, expected->image.pixels) << name;
            EXPECT_EQ(madeCache.readImageSize(key), expected->source) << name;
            if (streamFault == 0) {
                EXPECT_LT(reads.bytesRead(name), contents.size() / 8) << name;
            }
        }
        for (auto& [name, contents] : photos)
            name = "other-" + name;
    }
    setSimulatorFault("AFCFilePartStream", 0);
}

TEST_F(ThumbCreatorTest, QueuedImageIsMadeCachedAndReportedThenServedFromTheCache) {
    const auto photo = write("photo.png", png(400, 300, 220));
    // Tags carry whole pointers.
    const std::uintptr_t tag1 = static_cast<std::uintptr_t>(0x7f12345678abULL);
    ThumbnailRequest tagged = request(photo);
    tagged.tag1 = tag1;
    tagged.tag2 = 42;
    EXPECT_EQ(creator.getThumbnail(tagged, true, true), std::nullopt);
    ASSERT_TRUE(completions.waitFor(1));
    EXPECT_EQ(completions.tags().front(), std::make_pair(tag1, std::uintptr_t{42}));

    const std::optional<RgbaImage> thumbnail = creator.getThumbnail(request(photo), true, true);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width, 200);
    EXPECT_EQ(thumbnail->height, 150);
    EXPECT_EQ(thumbnail->pixels[0], 220);
    EXPECT_EQ(cache.readImageSize(thumbnailCacheKey(*photo)), (ImageSize{400, 300}));
    // Served from the cache: nothing more was read or reported.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(completions.names().size(), 1u);
    EXPECT_EQ(reads.bytesRead("photo.png"), png(400, 300, 220).size());

    // Names that are not images' are never looked at.
    const auto note = write("note.txt", png(4, 4, 1));
    EXPECT_EQ(creator.getThumbnail(request(note), true, true), std::nullopt);
    EXPECT_EQ(creator.getThumbnail(std::nullopt, true, true), std::nullopt);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(reads.bytesRead("note.txt"), 0u);
}

TEST_F(ThumbCreatorTest, KeysSharingTheLowBitsOfTheirHashAreBothMade) {
    std::map<uint32_t, std::string> seen;
    std::string first;
    std::string second;
    for (int i = 0; second.empty(); ++i) {
        const std::string name = "pair" + std::to_string(i) + ".png";
        const uint32_t low =
            thumbnailCacheHash(CZelboString::fromUtf8(phone.udid() + "//Media/" + name)) & 0xFFFFu;
        if (const auto found = seen.find(low); found != seen.end()) {
            first = found->second;
            second = name;
        }
        seen.emplace(low, name);
    }
    const auto one = write(first, png(8, 8, 2));
    const auto two = write(second, png(8, 8, 3));
    ASSERT_EQ(thumbnailCacheHash(thumbnailCacheKey(*one)) & 0xFFFFu,
              thumbnailCacheHash(thumbnailCacheKey(*two)) & 0xFFFFu);

    // The second is asked for while the first is still queued or being made.
    queue(one);
    queue(two);
    ASSERT_TRUE(completions.waitFor(2));
    EXPECT_TRUE(cached(one));
    EXPECT_TRUE(cached(two));
    EXPECT_EQ(reads.bytesRead(first), png(8, 8, 2).size());
}

TEST_F(ThumbCreatorTest, FilesThatCannotBeTrustedLeaveNoEntryAndTheNextIsStillMade) {
    const auto corrupt = write("corrupt.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3, 4, 5});
    // Larger than any whole read may be: only its first bytes are read, to tell its kind.
    write("huge.png", png(8, 8, 9));
    fs::resize_file(phone.media() / "huge.png", kMaxThumbnailSourceBytes + 1);
    const auto huge = nodeOf("huge.png");
    ASSERT_EQ(huge->fileSize(), int64_t{kMaxThumbnailSourceBytes + 1});
    // Listed at one size, grown on the device since: it is not decoded.
    const Bytes small = png(8, 8, 5);
    const auto grown = write("grown.png", small);
    ASSERT_EQ(grown->fileSize(), int64_t(small.size()));
    const Bytes large = paddedPng(8 * 1024 * 1024);
    std::ofstream(phone.media() / "grown.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(large.data()),
               static_cast<std::streamsize>(large.size()));
    const auto next = write("next.png", png(8, 8, 6));

    for (const auto& node : {corrupt, huge, grown, next})
        queue(node);
    ASSERT_TRUE(completions.waitFor(4));
    std::vector<std::string> names = completions.names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"corrupt.jpg", "grown.png", "huge.png", "next.png"}));
    EXPECT_FALSE(cached(corrupt));
    EXPECT_FALSE(cached(huge));
    EXPECT_FALSE(cached(grown));
    EXPECT_TRUE(cached(next));
    EXPECT_LE(reads.bytesRead("huge.png"), 65536u);
    // Its head crossed with its size, in the same stream; nothing is made of it.
    EXPECT_LE(reads.bytesRead("grown.png"), small.size());
}

TEST_F(ThumbCreatorTest, StopEndsALargeReadEarlyAndDropsTheQueue) {
    const Bytes contents = paddedPng(8 * 1024 * 1024);
    const auto large = write("large.png", contents);
    const auto waiting = write("waiting.png", png(8, 8, 7));
    reads.slowDown("large.png");
    queue(large);
    ASSERT_TRUE(reads.waitUntilRead("large.png"));
    queue(waiting);

    creator.stopThumbnails();
    // The attempt in progress was reported, the one still queued was dropped.
    EXPECT_EQ(completions.names(), std::vector<std::string>{"large.png"});
    EXPECT_LT(reads.bytesRead("large.png"), contents.size());
    EXPECT_FALSE(cached(large));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(reads.bytesRead("waiting.png"), 0u);

    // Stopping leaves the creator ready for the next list.
    queue(waiting);
    ASSERT_TRUE(completions.waitFor(2));
    EXPECT_TRUE(cached(waiting));
}

TEST_F(ThumbCreatorTest, DedicatedRequestRunsBesideABusyWorker) {
    const auto busy = write("busy.png", paddedPng(8 * 1024 * 1024));
    const auto shown = write("shown.png", png(300, 300, 11));
    reads.slowDown("busy.png");
    queue(busy);
    ASSERT_TRUE(reads.waitUntilRead("busy.png"));

    EXPECT_EQ(creator.getThumbnail(request(shown), true, false), std::nullopt);
    ASSERT_TRUE(completions.waitFor(1));
    EXPECT_EQ(completions.names(), std::vector<std::string>{"shown.png"});
    EXPECT_TRUE(cached(shown));
    // A look-up only: nothing is started for a file not cached.
    const auto other = write("other.png", png(8, 8, 12));
    EXPECT_EQ(creator.getThumbnail(request(other), false, false), std::nullopt);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(reads.bytesRead("other.png"), 0u);
}

TEST_F(ThumbCreatorTest, WorkerTakesTheNewestRequestAndOneBroughtForward) {
    const auto busy = write("busy.png", paddedPng(8 * 1024 * 1024));
    reads.slowDown("busy.png");
    queue(busy);
    ASSERT_TRUE(reads.waitUntilRead("busy.png"));
    // Asked for while the worker is busy: the newest goes first, unless an older one is drawn
    // again.
    const auto first = write("first.png", png(8, 8, 1));
    const auto second = write("second.png", png(8, 8, 2));
    const auto third = write("third.png", png(8, 8, 3));
    for (const auto& node : {first, second, third})
        queue(node);
    creator.bringForward(*first);
    reads.slowDown("");
    ASSERT_TRUE(completions.waitFor(4));
    EXPECT_EQ(completions.names(),
              (std::vector<std::string>{"busy.png", "first.png", "third.png", "second.png"}));
}

TEST_F(ThumbCreatorTest, DedicatedRequestTellsItsProgressAndEndsWhenCancelled) {
    const Bytes contents = paddedPng(8 * 1024 * 1024);
    const auto large = write("large.png", contents);
    std::mutex mutex;
    std::vector<std::pair<int64_t, int64_t>> progress;
    ThumbnailRequest made = request(large);
    made.progress = [&](int64_t total, int64_t done) {
        const std::lock_guard lock(mutex);
        progress.emplace_back(total, done);
    };
    EXPECT_EQ(creator.getThumbnail(made, true, false), std::nullopt);
    ASSERT_TRUE(completions.waitFor(1));
    EXPECT_TRUE(cached(large));
    {
        const std::lock_guard lock(mutex);
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), std::make_pair(int64_t(contents.size()), int64_t(contents.size())));
        for (size_t i = 1; i < progress.size(); ++i)
            EXPECT_GT(progress[i].second, progress[i - 1].second);
    }

    const auto other = write("other.png", paddedPng(8 * 1024 * 1024));
    reads.slowDown("other.png");
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    ThumbnailRequest dropped = request(other);
    dropped.cancelled = cancelled;
    EXPECT_EQ(creator.getThumbnail(dropped, true, false), std::nullopt);
    ASSERT_TRUE(reads.waitUntilRead("other.png"));
    *cancelled = true;
    ASSERT_TRUE(completions.waitFor(2));
    EXPECT_LT(reads.bytesRead("other.png"), contents.size());
    EXPECT_FALSE(cached(other));
}

TEST_F(ThumbCreatorTest, NodeOfAGoneDeviceIsReportedWithoutAnEntry) {
    const auto photo = write("photo.png", png(8, 8, 12));
    const auto unlisted = write("unlisted.png", png(8, 8, 13));
    ASSERT_GT(photo->fileSize(), 0);
    phone.unplug();

    queue(photo);
    queue(unlisted);
    EXPECT_EQ(creator.getThumbnail(request(photo), true, false), std::nullopt);
    ASSERT_TRUE(completions.waitFor(3));
    EXPECT_FALSE(cached(photo));
    EXPECT_FALSE(cached(unlisted));
}

TEST_F(ThumbCreatorTest, MemoryRunningOutIsAThumbnailNotMadeOnEitherThread) {
    if (!allocationsGauged())
        GTEST_SKIP() << "operator new is the memory checker's";
    // A 400 x 300 image decodes into 480,000 bytes of pixels; nothing else asks for as much.
    const auto photo = write("photo.png", png(400, 300, 30));
    refuseAllocationsAbove(256 * 1024);
    queue(photo);
    EXPECT_EQ(creator.getThumbnail(request(photo), true, false), std::nullopt);
    const bool completed = completions.waitFor(2);
    refuseAllocationsAbove(0);
    ASSERT_TRUE(completed);
    EXPECT_FALSE(cached(photo));
    // Asked again, it is made.
    queue(photo);
    ASSERT_TRUE(completions.waitFor(3));
    EXPECT_TRUE(cached(photo));
}

TEST_F(ThumbCreatorTest, DestroyingTheCreatorEndsItsThreads) {
    const auto large = write("large.png", paddedPng(8 * 1024 * 1024));
    reads.slowDown("large.png");
    auto owned = std::make_unique<ThumbCreator>(cache);
    owned->getThumbnail(request(large), true, true);
    owned->getThumbnail(request(large), true, false);
    ASSERT_TRUE(reads.waitUntilRead("large.png"));
    owned.reset();
    EXPECT_EQ(completions.names().size(), 2u);
    EXPECT_FALSE(cached(large));
}

}  // namespace
