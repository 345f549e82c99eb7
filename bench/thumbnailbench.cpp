// Thumbnails of a camera roll over an emulated USB 2 link: the program's way (embedded previews
// where they serve) against reading each whole file, which any thumbnail made from the whole
// picture needs before it decodes anything; and the bytes a video's thumbnail reads of it.
//
// A folder of camera-sized photos, half JPEG with a camera's 160 × 120 Exif preview and half HEIC
// with a phone's 320 × 240 thumbnail, is served by plovik-devemu with --link usb2 and reached
// through libplovik-usbmux and libimobiledevice, as a real iPhone is. Both ways run over the same
// link in one run; the whole-file reads on a sample of the files, since they take far longer.
//
// Two phone-like videos of about 100 MB (1080p H.264 at 17 Mbit/s with sound, taken upright), one
// with its index ('moov') at the start and one with it at the end, lie in a folder of their own;
// each thumbnail is made as the creator makes it, from the device file, counting what it reads.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "benchsupport.h"
#include "device/amdevice.h"
#include "device/devicemonitor.h"
#include "device/mobiledeviceaccesslistener.h"
#include "device/mobiledevicelibrary.h"
#include "emulatorprocess.h"
#include "fstree/devicefilesystemnode.h"
#include "samplephotos.h"
#include "samplevideo.h"
#include "support/temporaryfolder.h"
#include "thumbs/deviceimagefile.h"
#include "thumbs/thumbcreator.h"
#include "thumbs/thumbnailcache.h"
#include "thumbs/thumbnailcachekey.h"
#include "thumbs/thumbnailreader.h"

namespace {

namespace fs = std::filesystem;
using ZelboLib::FileSystemNode;

struct Options {
    int files = 1000;
    int wholeSample = 60;
    int width = 4032;
    int height = 3024;
    std::string link = "usb2";
    int videoMegabytes = 100;
};

constexpr int64_t kVideoBitRate = 17'000'000;
constexpr int kVideoFramesPerSecond = 30;
constexpr const char* kVideoFolder = "/Media/DCIM/101APPLE";
constexpr const char* kVideoNames[] = {"index-at-start.MOV", "index-at-end.MOV"};

// Takes the first device that becomes ready.
class FirstDevice : public MobileDeviceAccessListener {
public:
    void onDeviceConnected(const std::shared_ptr<AMDevice>& device) override {
        const std::lock_guard lock(mutex_);
        devices_.push_back(device);
        changed_.notify_all();
    }
    void onDeviceDisconnected(const std::shared_ptr<AMDevice>&) override {}
    std::shared_ptr<AMDevice> waitUntilReady() {
        std::unique_lock lock(mutex_);
        std::shared_ptr<AMDevice> ready;
        changed_.wait_for(lock, std::chrono::seconds(20), [&] {
            for (const auto& device : devices_) {
                if (device->accessState() == kAMDeviceAccessReady)
                    ready = device;
            }
            return ready != nullptr;
        });
        return ready;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::shared_ptr<AMDevice>> devices_;
};

// Counts the creator's completions.
class Completions {
public:
    std::function<void(const ThumbnailRequest&)> recorder() {
        return [this](const ThumbnailRequest&) {
            const std::lock_guard lock(mutex_);
            ++done_;
            changed_.notify_all();
        };
    }
    bool waitFor(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(30), [&] { return done_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int done_ = 0;
};

void writeBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// The device folder: the demo device's description and a camera roll of files photos.
fs::path layOutDevice(const fs::path& folder, const Options& options, uint64_t& jpegBytes,
                      uint64_t& heicBytes) {
    const fs::path device = folder / "device";
    const fs::path roll = device / "Media/DCIM/100APPLE";
    fs::create_directories(roll);
    fs::create_directories(device / "Apps");
    fs::copy_file(fs::path(PLOVIK_DEMO_DEVICE_DIR) / "device.plist", device / "device.plist");
    const SamplePicture picture = drawLandscape(options.width, options.height, 1);
    const std::vector<uint8_t> jpeg = cameraJpeg(picture, 1, 160);
    const std::vector<uint8_t> heic = cameraHeic(picture, 1, 320);
    if (heic.empty())
        throw std::runtime_error("libheif cannot encode HEVC here");
    jpegBytes = jpeg.size();
    heicBytes = heic.size();
    for (int i = 0; i < options.files; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, i % 2 == 0 ? "IMG_%04d.JPG" : "IMG_%04d.HEIC", i);
        writeBytes(roll / name, i % 2 == 0 ? jpeg : heic);
    }
    const fs::path videos = device / fs::path(kVideoFolder).relative_path();
    fs::create_directories(videos);
    SampleVideoSpec video;
    video.width = 1080;
    video.height = 1920;
    video.rotation = 90;
    video.framesPerSecond = kVideoFramesPerSecond;
    video.frames = static_cast<int>(int64_t{options.videoMegabytes} * 8'000'000 / kVideoBitRate *
                                    kVideoFramesPerSecond);
    video.bitRate = kVideoBitRate;
    video.repeatFirstSecond = true;
    video.audio = true;
    for (const char* name : kVideoNames) {
        video.indexAtStart = name == kVideoNames[0];
        if (!writeSampleVideo(videos / name, video))
            throw std::runtime_error("cannot encode the sample videos");
    }
    return device;
}

// What one video thumbnail read of its device file.
struct VideoRead {
    std::string name;
    uint64_t fileBytes = 0;
    uint64_t bytesRead = 0;
    double seconds = 0;
    bool made = false;
};

std::vector<VideoRead> readVideoThumbnails(const std::shared_ptr<AMDevice>& device) {
    const auto deviceNode = ZelboLib::DeviceFileSystemNode::create(device);
    const auto folder = deviceNode->nodeForPath(CZelboString::fromUtf8(kVideoFolder));
    std::vector<VideoRead> reads;
    if (!folder)
        return reads;
    for (const auto& child : folder->ensureChildren()) {
        VideoRead read{child->name().toUtf8(), static_cast<uint64_t>(child->fileSize())};
        DeviceImageFile file(nullptr);
        read.seconds = benchsupport::secondsOf([&] {
            read.made = file.open(*child, read.fileBytes) && readThumbnail(file).has_value();
        });
        read.bytesRead = file.bytesRead();
        reads.push_back(read);
    }
    return reads;
}

std::vector<std::shared_ptr<FileSystemNode>> photosOf(const std::shared_ptr<AMDevice>& device) {
    const auto deviceNode = ZelboLib::DeviceFileSystemNode::create(device);
    const auto roll = deviceNode->nodeForPath(u"/Media/DCIM/100APPLE");
    if (!roll)
        return {};
    std::vector<std::shared_ptr<FileSystemNode>> photos;
    for (const auto& child : roll->ensureChildren()) {
        if (!child->isDirectory() && child->fileSize() > 0)
            photos.push_back(child);
    }
    return photos;
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--files")
            options.files = std::atoi(argv[i + 1]);
        else if (option == "--whole-sample")
            options.wholeSample = std::atoi(argv[i + 1]);
        else if (option == "--size")
            std::sscanf(argv[i + 1], "%dx%d", &options.width, &options.height);
        else if (option == "--link")
            options.link = argv[i + 1];
        else if (option == "--video-mb")
            options.videoMegabytes = std::atoi(argv[i + 1]);
    }
    if (argc % 2 == 0 || options.files < 2 || options.wholeSample < 2 ||
        options.videoMegabytes < 3) {
        std::fprintf(stderr,
                     "usage: %s [--files N (1000)] [--whole-sample N (60)] [--size WxH "
                     "(4032x3024)] [--link usb2|usb3|none|MBPS,MS (usb2)] [--video-mb N (100)]\n",
                     argv[0]);
        std::exit(2);
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    TemporaryFolder work;
    uint64_t jpegBytes = 0;
    uint64_t heicBytes = 0;
    std::printf("Laying out %d photos of %dx%d and two videos of %d MB...\n", options.files,
                options.width, options.height, options.videoMegabytes);
    const fs::path device = layOutDevice(work.path(), options, jpegBytes, heicBytes);
    EmulatorProcess emulator(PLOVIK_DEVEMU, work.path(), device, options.link);
    setenv("USBMUXD_SOCKET_ADDRESS", emulator.socketAddress().c_str(), 1);

    FirstDevice arrivals;
    MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_USBMUX_LIBRARY);
    DeviceMonitor::instance().setListener(&arrivals);
    DeviceMonitor::instance().startListening();
    const std::shared_ptr<AMDevice> phone = arrivals.waitUntilReady();
    const auto photos = phone ? photosOf(phone) : decltype(photosOf(phone)){};
    if (photos.size() != static_cast<size_t>(options.files)) {
        std::fprintf(stderr, "the emulated device did not serve the %d photos\n", options.files);
        return 1;
    }

    // The program's way: every photo asked of the shared worker, as a list shows them.
    ThumbnailCache cache(work.path() / "cache");
    Completions completions;
    double previews = 0;
    {
        ThumbCreator creator(cache);
        previews = benchsupport::secondsOf([&] {
            for (const auto& photo : photos) {
                ThumbnailRequest request;
                request.node = photo;
                request.completion = completions.recorder();
                creator.getThumbnail(std::move(request), true, true);
            }
            completions.waitFor(options.files);
        });
    }
    int made = 0;
    for (const auto& photo : photos)
        made += cache.readThumbnail(thumbnailCacheKey(*photo)) ? 1 : 0;

    // Each whole file read, on a sample of both kinds; decoding would only add to it.
    int wholeRead = 0;
    uint64_t wholeBytes = 0;
    const double whole = benchsupport::secondsOf([&] {
        for (int i = 0; i < options.wholeSample; ++i) {
            const std::optional<std::vector<uint8_t>> contents = photos[i]->readContents(nullptr);
            if (!contents)
                continue;
            wholeBytes += contents->size();
            ++wholeRead;
        }
    });
    const std::vector<VideoRead> videos = readVideoThumbnails(phone);
    const EmulatorStats traffic = emulator.stop();

    const double previewRate = options.files / previews;
    const double wholeRate = options.wholeSample / whole;
    std::printf(
        "\nlink %s; JPEG %.2f MB with a 160x120 Exif preview, HEIC %.2f MB with a 320x240 "
        "thumbnail\n",
        options.link.c_str(), static_cast<double>(jpegBytes) / 1e6,
        static_cast<double>(heicBytes) / 1e6);
    std::printf("%-34s %8s %10s %14s\n", "way", "files", "seconds", "thumbnails/s");
    std::printf("%-34s %8d %10.2f %14.1f   (%d made)\n", "previews, shared worker", options.files,
                previews, previewRate, made);
    std::printf("%-34s %8d %10.2f %14.1f   (%d read, %.0f MB)\n", "whole file read, not decoded",
                options.wholeSample, whole, wholeRate, wholeRead,
                static_cast<double>(wholeBytes) / 1e6);
    std::printf("speed-up: %.1fx\n", previewRate / wholeRate);

    std::printf("\nbytes read per video (1080p H.264 at %.0f Mbit/s with sound, taken upright; "
                "goal under 2 MB)\n",
                static_cast<double>(kVideoBitRate) / 1e6);
    std::printf("%-34s %10s %12s %10s %10s\n", "video", "file MB", "MB read", "of file", "seconds");
    bool videosMade = videos.size() == std::size(kVideoNames);
    for (const VideoRead& video : videos) {
        std::printf("%-34s %10.1f %12.3f %9.2f%% %10.2f%s\n", video.name.c_str(),
                    static_cast<double>(video.fileBytes) / 1e6,
                    static_cast<double>(video.bytesRead) / 1e6,
                    100.0 * static_cast<double>(video.bytesRead) /
                        static_cast<double>(std::max<uint64_t>(video.fileBytes, 1)),
                    video.seconds, video.made ? "" : "   (no thumbnail)");
        videosMade = videosMade && video.made;
    }
    std::printf("\nAFC over all of it: %llu requests, %llu round trips, %.0f MB from the device\n",
                static_cast<unsigned long long>(traffic.afcRequests),
                static_cast<unsigned long long>(traffic.afcRoundTrips),
                static_cast<double>(traffic.bytesFromDevice) / 1e6);
    return made == options.files && videosMade ? 0 : 1;
}
