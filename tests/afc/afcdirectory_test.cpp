#include "afc/afcdirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "afc/afcmediadirectory.h"
#include "afc/afcrootdirectory.h"
#include "afc/recordingdelegate.h"
#include "support/simulateddevice.h"
#include "values/cautostring.h"
#include "values/cint64.h"

namespace {

using ZelboLib::Owned;

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

void write(const std::filesystem::path& file, const std::string& data) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << data;
}

CZelboString text(const std::filesystem::path& path) {
    return CZelboString::fromUtf8(path.string());
}

size_t entryCount(const std::filesystem::path& folder) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                             std::filesystem::directory_iterator()));
}

class AfcDirectoryTest : public testing::Test {
protected:
    AfcDirectoryTest() : media(simulated.device().openMediaDirectory()) {}

    SimulatedDevice simulated;
    Owned<AFCMediaDirectory> media;
    TemporaryFolder local;
};

TEST_F(AfcDirectoryTest, ValidationComesFirstAndResultsAreHexadecimal) {
    EXPECT_FALSE(media->createDirectory(u""));
    EXPECT_EQ(media->errorText().view(), u"Input path is nil");
    EXPECT_EQ(media->fileInfo(u""), nullptr);
    EXPECT_EQ(media->errorText().view(), u"Input file is nil");
    EXPECT_FALSE(media->renameItem(u"/a", u""));
    EXPECT_EQ(media->errorText().view(), u"Input path is nil");

    AFCMediaDirectory closed;
    EXPECT_FALSE(closed.removeItem(u"/a"));
    EXPECT_EQ(closed.errorText().view(), u"Connection is not open");
    EXPECT_EQ(closed.listDirectory(u"/"), nullptr);
    EXPECT_FALSE(closed.copyFileToDevice(u"/x", u"/x", nullptr));
    EXPECT_EQ(closed.errorText().view(), u"Connection is not open");

    EXPECT_FALSE(media->removeItem(u"/missing"));
    EXPECT_EQ(media->errorText().view(), u"AFCRemovePath failed: 8");
    EXPECT_TRUE(media->createDirectory(u"/DCIM"));
    EXPECT_EQ(media->errorText().view(), u"");
}

TEST_F(AfcDirectoryTest, EachThreadReadsTheReasonOfItsOwnLastFailure) {
    // A listing, a copy and a thumbnail may share one connection; none takes another's reason.
    EXPECT_FALSE(media->removeItem(u"/missing"));
    std::thread([this] {
        EXPECT_EQ(media->errorText().view(), u"");
        EXPECT_EQ(media->fileInfo(u""), nullptr);
        EXPECT_EQ(media->errorText().view(), u"Input file is nil");
    }).join();
    EXPECT_EQ(media->errorText().view(), u"AFCRemovePath failed: 8");
    std::thread([this] {
        EXPECT_TRUE(media->createDirectory(u"/DCIM"));
        EXPECT_EQ(media->errorText().view(), u"");
    }).join();
    EXPECT_EQ(media->errorText().view(), u"AFCRemovePath failed: 8");
    EXPECT_TRUE(media->createDirectory(u"/DCIM"));
    EXPECT_EQ(media->errorText().view(), u"");
}

TEST_F(AfcDirectoryTest, ListsNamesInDeviceOrderWithoutDotEntries) {
    std::filesystem::create_directory(simulated.media() / "Empty");
    const auto empty = media->listDirectory(u"/Empty");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->count(), 0);

    write(simulated.media() / "DCIM" / "IMG_0001.JPG", "jpeg");
    write(simulated.media() / "DCIM" / "Ünïcødé 📷.heic", "heic");
    const auto names = media->listDirectory(u"/DCIM");
    ASSERT_NE(names, nullptr);
    std::set<std::u16string> seen;
    for (int i = 0; i < names->count(); ++i)
        seen.emplace(names->objectAtIndex(i)->description().view());
    EXPECT_EQ(seen, (std::set<std::u16string>{u"IMG_0001.JPG", u"Ünïcødé 📷.heic"}));

    EXPECT_EQ(media->listDirectory(u"/nothing"), nullptr);
    EXPECT_EQ(media->errorText().view(), u"AFCDirectoryOpen failed: 8");
}

TEST_F(AfcDirectoryTest, FileInformationCarriesTypesSizesAndThePath) {
    write(simulated.media() / "a.txt", "12345");
    const auto info = media->fileInfo(u"/a.txt");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->objectForKey(u"st_ifmt")->description().view(), u"S_IFREG");
    EXPECT_EQ(info->objectForKey(u"st_size")->typeCode(), ZelboLib::kTypeInt64);
    EXPECT_EQ(info->objectForKey(u"st_size")->description().view(), u"5");
    EXPECT_EQ(info->objectForKey(u"st_mtime")->typeCode(), ZelboLib::kTypeInt64);
    EXPECT_EQ(info->objectForKey(u"path")->description().view(), u"/a.txt");

    const auto rootInfo = media->fileInfo(u"/");
    ASSERT_NE(rootInfo, nullptr);
    EXPECT_EQ(rootInfo->objectForKey(u"st_ifmt")->description().view(), u"S_IFDIR");
    EXPECT_EQ(rootInfo->objectForKey(u"path")->description().view(), u"/");

    EXPECT_TRUE(media->pathExists(u"/"));
    EXPECT_TRUE(media->pathExists(u"/a.txt"));
    EXPECT_FALSE(media->pathExists(u"/b.txt"));
}

TEST_F(AfcDirectoryTest, FileReferencesFollowTheOpenCheck) {
    write(simulated.media() / "data.bin", "0123456789");
    auto file = media->openForReading(u"/data.bin");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->size(), 10);
    char buffer[64];
    EXPECT_EQ(file->read(buffer, sizeof buffer), 10u);
    EXPECT_EQ(file->read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(file->errorText().view(), u"");
    EXPECT_TRUE(file->write(buffer, 0));
    EXPECT_TRUE(file->close());
    EXPECT_FALSE(file->close());  // a handle is closed once, whatever the first close said
    EXPECT_EQ(file->errorText().view(), u"File is not open");
    EXPECT_FALSE(file->write(buffer, 0));
    EXPECT_EQ(file->tell(), -1);
    EXPECT_EQ(media->openForReading(u"/missing.bin"), nullptr);
    EXPECT_EQ(media->errorText().view(), u"AFCFileRefOpen failed: 8");
}

TEST_F(AfcDirectoryTest, UploadsCreateAndReplaceWhole) {
    const auto longer = local.write("long.txt", std::string(5000, 'L'));
    const auto shorter = local.write("short.txt", "short");
    RecordingDelegate delegate;
    delegate.overwrite = true;
    ASSERT_TRUE(media->copyFileToDevice(text(longer), u"/file.txt", &delegate));
    EXPECT_EQ(contents(simulated.media() / "file.txt"), std::string(5000, 'L'));
    // A shorter file over a longer one leaves no old tail behind.
    ASSERT_TRUE(media->copyFileToDevice(text(shorter), u"/file.txt", &delegate));
    EXPECT_EQ(contents(simulated.media() / "file.txt"), "short");
    EXPECT_EQ(entryCount(simulated.media()), 1u);  // no temporary file left
    EXPECT_EQ(delegate.events.back(), "did /file.txt");
}

TEST_F(AfcDirectoryTest, UploadKeepsAnExistingFileUnlessTheUserAgrees) {
    write(simulated.media() / "keep.txt", "original");
    const auto source = local.write("keep.txt", "new");
    RecordingDelegate delegate;
    EXPECT_FALSE(media->copyFileToDevice(text(source), u"/keep.txt", &delegate));
    EXPECT_EQ(media->errorText().view(), u"Won't overwriting existing file!");
    EXPECT_EQ(delegate.events, std::vector<std::string>{"overwrite? /keep.txt device"});
    EXPECT_EQ(contents(simulated.media() / "keep.txt"), "original");

    EXPECT_TRUE(media->copyToDevice(text(source), u"/", nullptr));  // no delegate: overwrite
    EXPECT_EQ(contents(simulated.media() / "keep.txt"), "new");
    EXPECT_FALSE(media->copyToDevice(text(local / "missing.txt"), u"/", nullptr));

    // An empty folder of that name is refused at once, even when the user would overwrite.
    std::filesystem::create_directory(simulated.media() / "Album");
    const auto album = local.write("Album", "a file");
    delegate.events.clear();
    delegate.overwrite = true;
    EXPECT_FALSE(media->copyFileToDevice(text(album), u"/Album", &delegate));
    EXPECT_EQ(media->errorText().view(), u"A folder of that name is in the way");
    EXPECT_TRUE(delegate.events.empty());
    EXPECT_TRUE(std::filesystem::is_directory(simulated.media() / "Album"));
}

TEST_F(AfcDirectoryTest, AReplacementThatCannotTakeItsNameKeepsTheData) {
    write(simulated.media() / "a.txt", "old");
    const auto source = local.write("a.txt", "new data");
    const auto fail = reinterpret_cast<int (*)(const char*, int)>(
        SimulatedDevice::simulatorEntry("PlovikSimSetFault"));
    fail("AFCRenamePath", 1);
    const bool copied = media->copyFileToDevice(text(source), u"/a.txt", nullptr);
    fail("AFCRenamePath", 0);
    EXPECT_FALSE(copied);
    // Either the old file or the new data is still on the device, never neither.
    bool kept = std::filesystem::exists(simulated.media() / "a.txt");
    for (const auto& entry : std::filesystem::directory_iterator(simulated.media())) {
        kept = kept || contents(entry.path()) == "new data";
    }
    EXPECT_TRUE(kept);
    EXPECT_TRUE(media->errorText().view().starts_with(u"The copy is kept as /.plovik-") ||
                contents(simulated.media() / "a.txt") == "old");
}

TEST_F(AfcDirectoryTest, EmptyUploadReportsAZeroTotal) {
    const auto empty = local.write("empty.txt", "");
    RecordingDelegate delegate;
    ASSERT_TRUE(media->copyFileToDevice(text(empty), u"/empty.txt", &delegate));
    EXPECT_EQ(delegate.events,
              (std::vector<std::string>{"will " + empty.string() + " -> /empty.txt 0",
                                        "progress 0/0", "did /empty.txt"}));
    EXPECT_TRUE(std::filesystem::exists(simulated.media() / "empty.txt"));
}

TEST_F(AfcDirectoryTest, CancelledUploadLeavesTheTargetAsItWas) {
    write(simulated.media() / "big.bin", "old contents");
    const auto source = local.write("big.bin", std::string(3 << 20, 'x'));
    RecordingDelegate delegate;
    delegate.overwrite = true;
    delegate.onProgress = [&](int64_t done) { delegate.cancelled = done > 0; };
    EXPECT_FALSE(media->copyFileToDevice(text(source), u"/big.bin", &delegate));
    EXPECT_EQ(media->errorText().view(), u"Cancelled");
    EXPECT_EQ(contents(simulated.media() / "big.bin"), "old contents");
    EXPECT_EQ(entryCount(simulated.media()), 1u);
}

TEST_F(AfcDirectoryTest, DownloadsWholeFilesOfEveryAwkwardSize) {
    for (const size_t size : {size_t{0}, size_t{1}, size_t{1} << 20, (size_t{1} << 20) + 1}) {
        const std::string data(size, 'd');
        write(simulated.media() / "f.bin", data);
        const auto target = local / ("f" + std::to_string(size));
        RecordingDelegate delegate;
        ASSERT_TRUE(media->copyFileFromDevice(u"/f.bin", text(target), &delegate)) << size;
        EXPECT_EQ(contents(target), data) << size;
        EXPECT_EQ(delegate.events.front(),
                  "will /f.bin -> " + target.string() + " " + std::to_string(size));
    }
    EXPECT_EQ(entryCount(local.path()), 4u);  // no temporary files left
}

TEST_F(AfcDirectoryTest, DownloadAsksBeforeReplacingAndKeepsTheOldFileOnFailure) {
    write(simulated.media() / "photo.jpg", "new photo");
    const auto target = local.write("photo.jpg", "old photo");
    RecordingDelegate delegate;
    EXPECT_FALSE(media->copyFileFromDevice(u"/photo.jpg", text(target), &delegate));
    EXPECT_EQ(media->errorText().view(), u"Won't overwrite existing file");
    EXPECT_EQ(contents(target), "old photo");

    delegate.overwrite = true;
    delegate.cancelled = true;
    EXPECT_FALSE(media->copyFileFromDevice(u"/photo.jpg", text(target), &delegate));
    EXPECT_EQ(contents(target), "old photo");
    EXPECT_EQ(entryCount(local.path()), 1u);

    delegate.cancelled = false;
    EXPECT_TRUE(media->copyFileFromDevice(u"/photo.jpg", text(target), &delegate));
    EXPECT_EQ(contents(target), "new photo");

    // A folder of that name, or a link to one, is refused at once: not asked about, nothing
    // copied, not replaced.
    std::filesystem::create_directory(local / "folder.jpg");
    std::filesystem::create_directory_symlink(local / "folder.jpg", local / "link.jpg");
    write(simulated.media() / "folder.jpg", "x");
    for (const char* name : {"folder.jpg", "link.jpg"}) {
        RecordingDelegate silent;
        EXPECT_FALSE(media->copyFileFromDevice(u"/folder.jpg", text(local / name), &silent));
        EXPECT_EQ(media->errorText().view(), u"A folder of that name is in the way");
        EXPECT_TRUE(silent.events.empty()) << silent.events.front();
        EXPECT_TRUE(std::filesystem::is_directory(local / name));
    }
    EXPECT_TRUE(std::filesystem::is_symlink(local / "link.jpg"));
}

TEST_F(AfcDirectoryTest, UnplugMidCopyFailsAndLeavesNoPartialFile) {
    write(simulated.media() / "movie.mov", std::string(4 << 20, 'm'));
    RecordingDelegate delegate;
    delegate.onProgress = [&](int64_t done) {
        if (done > 0)
            simulated.unplug();
    };
    const auto target = local / "movie.mov";
    EXPECT_FALSE(media->copyFileFromDevice(u"/movie.mov", text(target), &delegate));
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(entryCount(local.path()), 0u);
    EXPECT_TRUE(media->errorText().toUtf8().starts_with(
        "The device stopped responding or was disconnected (AFCFileRefRead failed: 1e"))
        << media->errorText().toUtf8();
}

TEST_F(AfcDirectoryTest, ALocalFileThatCannotBeMadeFailsWithTheSystemsReason) {
    write(simulated.media() / "photo.jpg", "jpeg");
    EXPECT_FALSE(media->copyFileFromDevice(u"/photo.jpg", text(local / "gone/photo.jpg"), nullptr));
    EXPECT_EQ(media->errorText().toUtf8(), "Can't create output file: No such file or directory");
}

// Files of several chunks, and one whose copy buffer is only as large as the file was.
TEST_F(AfcDirectoryTest, AFileThatGrowsDuringACopyIsReportedAsChangedEitherWay) {
    for (const size_t size : {size_t{3} << 20, size_t{100} << 10}) {
        const std::string name = "live" + std::to_string(size) + ".log";
        write(simulated.media() / name, std::string(size, 'a'));
        RecordingDelegate download;
        bool grown = false;
        download.onProgress = [&](int64_t done) {
            if (done > 0 && !grown)
                std::ofstream(simulated.media() / name, std::ios::app) << "more";
            grown = grown || done > 0;
        };
        EXPECT_FALSE(media->copyFileFromDevice(CZelboString::fromUtf8("/" + name),
                                               text(local / name), &download));
        EXPECT_EQ(media->errorText().view(), u"The file changed on the device during the copy");
        EXPECT_EQ(entryCount(local.path()), 0u) << size;

        const auto source = local.write("up.log", std::string(size, 'b'));
        RecordingDelegate upload;
        grown = false;
        upload.onProgress = [&](int64_t done) {
            if (done > 0 && !grown)
                std::ofstream(source, std::ios::app) << std::string(70 << 10, 'c');
            grown = grown || done > 0;
        };
        EXPECT_FALSE(media->copyFileToDevice(text(source), u"/up.log", &upload));
        EXPECT_EQ(media->errorText().view(), u"Input file changed while it was copied");
        EXPECT_FALSE(std::filesystem::exists(simulated.media() / "up.log")) << size;
        EXPECT_EQ(entryCount(simulated.media()), 1u) << size;
        std::filesystem::remove(source);
        std::filesystem::remove(simulated.media() / name);
    }
}

// A camera roll copied either way keeps its photos' dates.
TEST_F(AfcDirectoryTest, CopiesKeepTheModificationTimeEitherWay) {
    namespace fs = std::filesystem;
    const auto taken = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    write(simulated.media() / "IMG_0001.JPG", "photo");
    fs::last_write_time(simulated.media() / "IMG_0001.JPG", taken);
    ASSERT_TRUE(media->copyFileFromDevice(u"/IMG_0001.JPG", text(local / "IMG_0001.JPG"), nullptr));
    EXPECT_EQ(fs::last_write_time(local / "IMG_0001.JPG"), taken);

    // A time the walk already knows is used as it is.
    const auto known = taken - std::chrono::hours(1);
    const int64_t knownNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                std::chrono::file_clock::to_sys(known).time_since_epoch())
                                .count();
    ASSERT_TRUE(
        media->copyFileFromDevice(u"/IMG_0001.JPG", text(local / "known.JPG"), nullptr, knownNs));
    EXPECT_EQ(fs::last_write_time(local / "known.JPG"), known);

    const auto source = local.write("Scan.pdf", "scan");
    fs::last_write_time(source, taken);
    ASSERT_TRUE(media->copyFileToDevice(text(source), u"/Scan.pdf", nullptr));
    EXPECT_EQ(fs::last_write_time(simulated.media() / "Scan.pdf"), taken);

    // A device that refuses to set the time still gets the file.
    const auto fail = reinterpret_cast<int (*)(const char*, int)>(
        SimulatedDevice::simulatorEntry("PlovikSimSetFault"));
    fail("AFCSetFileTime", 10);
    const bool copied = media->copyFileToDevice(text(source), u"/Refused.pdf", nullptr);
    fail("AFCSetFileTime", 0);
    EXPECT_TRUE(copied);
    EXPECT_EQ(contents(simulated.media() / "Refused.pdf"), "scan");
    EXPECT_EQ(media->errorText().view(), u"");
}

TEST_F(AfcDirectoryTest, RenamesAndRemoves) {
    write(simulated.media() / "a.txt", "a");
    std::filesystem::create_directories(simulated.media() / "full" / "inner");
    EXPECT_TRUE(media->renameItem(u"/a.txt", u"/b.txt"));
    EXPECT_TRUE(std::filesystem::exists(simulated.media() / "b.txt"));
    EXPECT_FALSE(media->removeItem(u"/full"));  // not empty
    EXPECT_TRUE(media->removeItem(u"/full/inner"));
    EXPECT_TRUE(media->removeItem(u"/full"));
    EXPECT_TRUE(media->removeItem(u"/b.txt"));
}

TEST(AfcAreas, ADeviceWithoutTheWholeFileSystemStillHasMedia) {
    SimulatedDevice simulated({}, {}, false);
    EXPECT_EQ(simulated.device().openRootDirectory(), nullptr);
    EXPECT_NE(simulated.device().openMediaDirectory(), nullptr);
}

}  // namespace
