// Imports of a camera roll against the simulator: what counts as copied before (the history's
// device, path, size and time), Live Photos kept whole, month folders, and files that are no
// photo or video.

#include "transfer/camerarollimport.h"

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
#include "support/simulateddevice.h"
#include "support/temporaryfolder.h"
#include "transfer/devicefolderdownload.h"
#include "transfer/transferhistorystore.h"
#include "transfer/transferobserver.h"
#include "transfer/transferrecorder.h"

namespace fs = std::filesystem;

namespace {

class QuietObserver : public TransferObserver {
public:
    void fileStarted(const CZelboString&, const CZelboString&, int64_t) override {}
    void fileProgress(int64_t, int64_t) override {}
    void fileFinished(const CZelboString&, const CZelboString&) override { ++copied; }
    void itemFailed(const CZelboString& source, const CZelboString& reason) override {
        failures.push_back(source.toUtf8() + ": " + reason.toUtf8());
    }
    void itemSkipped(const CZelboString&, const CZelboString&) override {}
    int copied = 0;
    std::vector<std::string> failures;
};

class CameraRollImportTest : public testing::Test {
protected:
    void SetUp() override {
        write("100APPLE/IMG_0001.JPG", "jpeg one");
        // Written at build time: the encoder does not run under the memory checker.
        std::ifstream sample(std::string(PLOVIK_HEIC_SAMPLES) + "/phone-portrait.heic",
                             std::ios::binary);
        const std::string heic(std::istreambuf_iterator<char>(sample), {});
        ASSERT_FALSE(heic.empty());
        write("100APPLE/IMG_0002.HEIC", heic);
        write("100APPLE/IMG_0002.MOV", "live video");
        write("100APPLE/IMG_0003.MOV", "video");
        write("100APPLE/IMG_0003.AAE", "<plist/>");
        write("100APPLE/.hidden.jpg", "hidden");
        write("101APPLE/IMG_0004.PNG", "png");
        // A spring afternoon, in local time whatever the zone.
        std::tm spring{};
        spring.tm_year = 2023 - 1900;
        spring.tm_mon = 3;
        spring.tm_mday = 15;
        spring.tm_hour = 12;
        spring.tm_isdst = -1;
        const auto seconds = std::chrono::seconds(std::mktime(&spring));
        const fs::file_time_type time =
            fs::file_time_type::clock::from_sys(std::chrono::system_clock::time_point(seconds));
        for (const char* name : {"100APPLE/IMG_0001.JPG", "100APPLE/IMG_0003.MOV",
                                 "100APPLE/IMG_0002.MOV", "101APPLE/IMG_0004.PNG"})
            fs::last_write_time(camera / name, time);
    }

    void write(const std::string& name, const std::string& contents) {
        fs::create_directories((camera / name).parent_path());
        std::ofstream(camera / name, std::ios::binary) << contents;
    }

    std::shared_ptr<ZelboLib::FileSystemNode> roll() {
        deviceNode = deviceNodeOf(phone);
        cameraRoll = deviceNode->nodeForPath(u"/Media/DCIM");
        return cameraRoll;
    }

    ImportPlan plan(ImportScope scope = ImportScope::NewOnly,
                    ImportFolders folders = ImportFolders::Destination) {
        return CameraRollImport(scope, folders).plan(*roll(), history.records(), destination, [] {
            return false;
        });
    }

    /** Copies the plan's files as an import does, recording each in the history. */
    void copy(const ImportPlan& planned, HeicToJpeg heicToJpeg = HeicToJpeg::Keep) {
        const TransferJob job{true, u"/DCIM", destination, cameraRoll, planned.files};
        TransferRecorder recorder(observer, &history, job);
        DeviceFolderDownload download(recorder);
        download.setHeicToJpeg(heicToJpeg);
        download.runFiles(planned.files);
        EXPECT_TRUE(observer.failures.empty()) << observer.failures.front();
    }

    static std::vector<std::string> names(const ImportPlan& planned) {
        std::vector<std::string> found;
        for (const ImportFile& file : planned.files)
            found.push_back(file.node->displayPath().toUtf8());
        return found;
    }

    SimulatedDevice phone;
    std::shared_ptr<ZelboLib::DeviceFileSystemNode> deviceNode;
    std::shared_ptr<ZelboLib::FileSystemNode> cameraRoll;
    fs::path camera = phone.media() / "DCIM";
    TemporaryFolder local;
    CZelboString destination = CZelboString::fromUtf8(local.path().string());
    TemporaryFolder data;
    TransferHistoryStore history{CZelboString::fromUtf8((data / "transfers.sqlite").string())};
    QuietObserver observer;
};

TEST_F(CameraRollImportTest, ASecondImportCopiesNothingAndANewPhotoIsTheOnlyOneCopied) {
    const ImportPlan first = plan();
    EXPECT_EQ(names(first), (std::vector<std::string>{
                                "/Media/DCIM/100APPLE/IMG_0001.JPG",
                                "/Media/DCIM/100APPLE/IMG_0002.HEIC",
                                "/Media/DCIM/100APPLE/IMG_0002.MOV",
                                "/Media/DCIM/100APPLE/IMG_0003.MOV",
                                "/Media/DCIM/101APPLE/IMG_0004.PNG",
                            }));
    EXPECT_EQ(first.found, 5);
    EXPECT_EQ(first.importedBefore, 0);
    copy(first);
    EXPECT_EQ(observer.copied, 5);
    EXPECT_TRUE(fs::exists(local / "IMG_0004.PNG"));

    // Deleted here, still known as imported: only "Import all again" brings them back.
    fs::remove(local / "IMG_0001.JPG");
    const ImportPlan second = plan();
    EXPECT_TRUE(second.files.empty());
    EXPECT_EQ(second.found, 5);
    EXPECT_EQ(second.importedBefore, 5);
    EXPECT_EQ(plan(ImportScope::All).files.size(), 5u);

    write("101APPLE/IMG_0005.JPG", "new photo");
    EXPECT_EQ(names(plan()), std::vector<std::string>{"/Media/DCIM/101APPLE/IMG_0005.JPG"});
    // A file that changed since it was copied is new again.
    write("100APPLE/IMG_0003.MOV", "video, trimmed on the phone");
    EXPECT_EQ(names(plan()), (std::vector<std::string>{"/Media/DCIM/100APPLE/IMG_0003.MOV",
                                                       "/Media/DCIM/101APPLE/IMG_0005.JPG"}));
}

TEST_F(CameraRollImportTest, APhotoThatArrivedAsAJpegCountsAsImported) {
    copy(plan(), HeicToJpeg::Convert);
    EXPECT_TRUE(fs::exists(local / "IMG_0002.JPG"));
    EXPECT_FALSE(fs::exists(local / "IMG_0002.HEIC"));
    EXPECT_TRUE(plan().files.empty());
}

TEST_F(CameraRollImportTest,
       ALivePhotoIsCopiedWholeOrNotAtAllAndAnotherDevicesHistoryDoesNotCount) {
    copy(plan());
    // The photo was copied before, its video arrived since: both go.
    write("100APPLE/IMG_0001.MOV", "live video of one");
    EXPECT_EQ(names(plan()), (std::vector<std::string>{"/Media/DCIM/100APPLE/IMG_0001.JPG",
                                                       "/Media/DCIM/100APPLE/IMG_0001.MOV"}));

    // The same paths, sizes and times on another phone were never copied from this one.
    SimulatedDevice other;
    for (const auto& entry : fs::recursive_directory_iterator(camera)) {
        const fs::path target = other.media() / "DCIM" / fs::relative(entry.path(), camera);
        if (entry.is_directory())
            fs::create_directories(target);
        else
            fs::copy_file(entry.path(), target);
    }
    fs::path otherCamera = other.media() / "DCIM";
    for (const auto& entry : fs::recursive_directory_iterator(camera))
        fs::last_write_time(otherCamera / fs::relative(entry.path(), camera),
                            fs::last_write_time(entry.path()));
    const auto otherRoll = deviceNodeOf(other);
    const ImportPlan fresh = CameraRollImport(ImportScope::NewOnly, ImportFolders::Destination)
                                 .plan(*otherRoll->nodeForPath(u"/Media/DCIM"), history.records(),
                                       destination, [] { return false; });
    EXPECT_EQ(fresh.importedBefore, 0);
    EXPECT_EQ(fresh.files.size(), 6u);
}

TEST_F(CameraRollImportTest, ByMonthAPhotoGoesByItsExifDateOthersByTheirTimeAndALivePairTogether) {
    const ImportPlan planned = plan(ImportScope::NewOnly, ImportFolders::ByMonth);
    ASSERT_EQ(planned.files.size(), 5u);
    std::vector<std::string> folders;
    for (const ImportFile& file : planned.files)
        folders.push_back(fs::relative(file.localFolder.toUtf8(), local.path()).string());
    // The HEIC's Exif says July 2024; its video, dated April 2023 on the device, goes with it.
    EXPECT_EQ(folders,
              (std::vector<std::string>{"2023/04", "2024/07", "2024/07", "2023/04", "2023/04"}));
    EXPECT_TRUE(fs::is_directory(local / "2024/07"));
    copy(planned);
    EXPECT_TRUE(fs::exists(local / "2024/07/IMG_0002.MOV"));
}

}  // namespace
