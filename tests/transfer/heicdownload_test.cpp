// Downloads that turn HEIC photos into JPEGs, against the simulator: what lands in the folder,
// what the observer hears, the overwrite question asked of the JPEG's name, and photos that
// cannot be converted arriving as they are.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fstree/devicefilesystemnode.h"
#include "fstree/simulatedtree.h"
#include "photos/exifdatetaken.h"
#include "support/exifreadback.h"
#include "support/simulateddevice.h"
#include "support/temporaryfolder.h"
#include "thumbs/rgbaimage.h"
#include "transfer/devicefolderdownload.h"
#include "transfer/transferobserver.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> names(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
}

class ConversionObserver : public TransferObserver {
public:
    void fileStarted(const CZelboString& source, const CZelboString& destination,
                     int64_t) override {
        events.push_back("start " + source.toUtf8() + " -> " +
                         fs::path(destination.toUtf8()).filename().string());
    }
    void fileProgress(int64_t, int64_t) override {}
    void fileFinished(const CZelboString& source, const CZelboString&) override {
        events.push_back("done " + source.toUtf8());
    }
    void itemFailed(const CZelboString& source, const CZelboString& reason) override {
        events.push_back("failed " + source.toUtf8() + ": " + reason.toUtf8());
    }
    void itemSkipped(const CZelboString&, const CZelboString&) override {}
    void fileNotConverted(const CZelboString& source, const CZelboString& reason) override {
        events.push_back("not converted " + source.toUtf8());
        reasons.push_back(reason.toUtf8());
    }
    bool shouldOverwrite(const CZelboString& path, CopyTarget) override {
        questions.push_back(fs::path(path.toUtf8()).filename().string());
        return overwrite;
    }

    std::vector<std::string> events;
    std::vector<std::string> reasons;
    std::vector<std::string> questions;
    bool overwrite = false;
};

class HeicDownloadTest : public testing::Test {
protected:
    void SetUp() override {
        heic = readFile(fs::path(PLOVIK_HEIC_SAMPLES) / "phone-portrait.heic");
        ASSERT_FALSE(heic.empty());
        fs::create_directories(camera);
        std::ofstream(camera / "IMG_0001.HEIC", std::ios::binary)
            .write(reinterpret_cast<const char*>(heic.data()),
                   static_cast<std::streamsize>(heic.size()));
        fs::last_write_time(camera / "IMG_0001.HEIC", taken);
        std::ofstream(camera / "IMG_0001.MOV") << "video";
        std::ofstream(camera / "IMG_0002.heic") << "no photo at all";
    }

    bool pullConverting() {
        DeviceFolderDownload download(observer);
        download.setHeicToJpeg(HeicToJpeg::Convert);
        return download.run(deviceNode->nodeForPath(u"/Media/DCIM/100APPLE"),
                            CZelboString::fromUtf8(local.path().string()));
    }

    SimulatedDevice phone;
    std::shared_ptr<ZelboLib::DeviceFileSystemNode> deviceNode = deviceNodeOf(phone);
    fs::path camera = phone.media() / "DCIM/100APPLE";
    fs::file_time_type taken = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    TemporaryFolder local;
    ConversionObserver observer;
    Bytes heic;
};

TEST_F(HeicDownloadTest, PhotosArriveAsUprightJpegsWithTheirExifAndTimeOthersAsTheyAre) {
    EXPECT_TRUE(pullConverting());
    const fs::path arrived = local / "100APPLE";
    // No HEIC where a JPEG was made, and no staged file left behind.
    EXPECT_EQ(names(arrived),
              (std::vector<std::string>{"IMG_0001.JPG", "IMG_0001.MOV", "IMG_0002.heic"}));
    const Bytes jpeg = readFile(arrived / "IMG_0001.JPG");
    const std::optional<RgbaImage> image = decodeImage(jpeg);
    ASSERT_TRUE(image);
    EXPECT_LT(image->width, image->height);
    const Bytes exif = jpegExifTiff(jpeg);
    EXPECT_EQ(tiffOrientation(exif), 1u);
    EXPECT_EQ(exifDateTaken(exif), std::optional<std::string>("2024:07:14 09:30:05"));
    EXPECT_FALSE(tiffGpsPosition(exif).empty());
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(
                  fs::last_write_time(arrived / "IMG_0001.JPG") - taken)
                  .count(),
              0);

    // The unreadable one is copied as it is and said so, between its start and its end.
    EXPECT_EQ(readFile(arrived / "IMG_0002.heic"),
              Bytes({'n', 'o', ' ', 'p', 'h', 'o', 't', 'o', ' ', 'a', 't', ' ', 'a', 'l', 'l'}));
    const auto at = std::find(observer.events.begin(), observer.events.end(),
                              "start /Media/DCIM/100APPLE/IMG_0002.heic -> IMG_0002.heic");
    ASSERT_NE(at, observer.events.end());
    ASSERT_GE(std::distance(at, observer.events.end()), 3);
    EXPECT_EQ(*(at + 1), "not converted /Media/DCIM/100APPLE/IMG_0002.heic");
    EXPECT_EQ(*(at + 2), "done /Media/DCIM/100APPLE/IMG_0002.heic");
    ASSERT_EQ(observer.reasons.size(), 1u);
    EXPECT_FALSE(observer.reasons[0].empty());
    EXPECT_NE(std::find(observer.events.begin(), observer.events.end(),
                        "start /Media/DCIM/100APPLE/IMG_0001.HEIC -> IMG_0001.JPG"),
              observer.events.end());
}

TEST_F(HeicDownloadTest, AnExistingJpegIsAskedAboutAndKeptOrReplacedWhole) {
    local.write("100APPLE/IMG_0001.JPG", "mine");
    EXPECT_FALSE(pullConverting());
    EXPECT_EQ(observer.questions, std::vector<std::string>{"IMG_0001.JPG"});
    EXPECT_EQ(readFile(local / "100APPLE/IMG_0001.JPG"), Bytes({'m', 'i', 'n', 'e'}));
    EXPECT_EQ(names(local / "100APPLE"),
              (std::vector<std::string>{"IMG_0001.JPG", "IMG_0001.MOV", "IMG_0002.heic"}));

    observer = ConversionObserver();
    observer.overwrite = true;
    fs::remove(local / "100APPLE/IMG_0001.MOV");
    fs::remove(local / "100APPLE/IMG_0002.heic");
    EXPECT_TRUE(pullConverting());
    EXPECT_TRUE(decodeImage(readFile(local / "100APPLE/IMG_0001.JPG")));
}

TEST_F(HeicDownloadTest, APhotoThatCannotBeConvertedKeepsAnExistingFileOfItsNameUnlessAllowed) {
    local.write("100APPLE/IMG_0002.heic", "older");
    EXPECT_FALSE(pullConverting());
    EXPECT_EQ(observer.questions, std::vector<std::string>{"IMG_0002.heic"});
    EXPECT_EQ(readFile(local / "100APPLE/IMG_0002.heic"), Bytes({'o', 'l', 'd', 'e', 'r'}));
    EXPECT_EQ(names(local / "100APPLE"),
              (std::vector<std::string>{"IMG_0001.JPG", "IMG_0001.MOV", "IMG_0002.heic"}));
}

}  // namespace
