#include "fstree/filesystemnode.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "afc/afcdirectory.h"
#include "afc/stageduploads.h"
#include "device/amdevice.h"
#include "device/mobiledevicelibrary.h"
#include "fstree/devicefilesystemnode.h"
#include "fstree/filesystemnodedelegate.h"
#include "fstree/simulatedtree.h"

using ZelboLib::DeviceFileSystemNode;
using ZelboLib::FileSystemNode;
using ZelboLib::RefreshParent;
namespace fs = std::filesystem;

namespace {

std::string utf8(const CZelboString& text) {
    return text.toUtf8();
}

std::vector<std::string> namesOf(const FileSystemNode::NodeList& nodes) {
    std::vector<std::string> names;
    for (const auto& node : nodes)
        names.push_back(utf8(node->name()));
    return names;
}

std::string text(const std::optional<std::vector<uint8_t>>& bytes) {
    return bytes ? std::string(bytes->begin(), bytes->end()) : "(nothing)";
}

class RecordingDelegate : public ZelboLib::FileSystemNodeDelegate {
public:
    void readProgress(int64_t total, int64_t done) override {
        progress.emplace_back(total, done);
        if (failReadsAfterFirstChunk)
            setSimulatorFault("AFCFileRefRead", -1);
    }
    bool shouldContinueReading() override { return progress.size() < stopAfterChunks; }

    std::vector<std::pair<int64_t, int64_t>> progress;
    size_t stopAfterChunks = SIZE_MAX;
    bool failReadsAfterFirstChunk = false;
};

class FileSystemNodeTest : public testing::Test {
protected:
    ~FileSystemNodeTest() override { setSimulatorFault("AFCFileRefRead", 0); }

    std::shared_ptr<FileSystemNode> node(const char16_t* path) {
        return deviceNode->nodeForPath(path);
    }

    void write(const std::string& path, const std::string& contents) {
        std::filesystem::create_directories((phone.media() / path).parent_path());
        std::ofstream(phone.media() / path, std::ios::binary) << contents;
    }

    SimulatedDevice phone{{{"DeviceName", "Phone"}},
                          {{"com.example.one", "One"}, {"com.example.two", "Two"}}};
    std::shared_ptr<DeviceFileSystemNode> deviceNode = deviceNodeOf(phone);
};

TEST_F(FileSystemNodeTest, DeviceShowsItsAreasAndRootOnlyWhereOffered) {
    EXPECT_EQ(namesOf(deviceNode->ensureChildren()),
              (std::vector<std::string>{"Root", "Media", "Applications"}));
    EXPECT_EQ(utf8(deviceNode->displayPath()), "/Phone");
    EXPECT_EQ(utf8(node(u"/Applications")->displayPath()), "/Applications");
    SimulatedDevice withoutRoot({}, {}, false);
    EXPECT_EQ(namesOf(deviceNodeOf(withoutRoot)->ensureChildren()),
              (std::vector<std::string>{"Media", "Applications"}));
}

TEST_F(FileSystemNodeTest, PathsJoinNamesVerbatim) {
    write("DCIM/100APPLE/IMG_0001.JPG", "jpeg");
    write("a\\b", "backslash file");
    write("a/b", "keep me");
    const auto media = node(u"/Media");
    ASSERT_TRUE(media);
    EXPECT_EQ(utf8(media->fullPath()), "/");
    const auto apple = node(u"/Media/DCIM/100APPLE");
    ASSERT_TRUE(apple);
    EXPECT_EQ(utf8(apple->fullPath()), "/DCIM/100APPLE");

    const auto backslash = node(u"/Media/a\\b");
    ASSERT_TRUE(backslash);
    EXPECT_EQ(utf8(backslash->fullPath()), "/a\\b");
    EXPECT_EQ(text(backslash->readContents(nullptr)), "backslash file");
    EXPECT_TRUE(backslash->remove(RefreshParent::No));
    EXPECT_FALSE(fs::exists(phone.media() / "a\\b"));
    EXPECT_TRUE(fs::exists(phone.media() / "a" / "b"));
}

TEST_F(FileSystemNodeTest, NodeForPathIsExactAndCaseSensitive) {
    write("DCIM/x.jpg", "x");
    const auto x = node(u"/Media/DCIM/x.jpg");
    ASSERT_TRUE(x);
    EXPECT_EQ(x->nodeForPath(u"/Media/DCIM"), x->parent());
    EXPECT_EQ(node(u"/Media/dcim"), nullptr);
    EXPECT_EQ(node(u"/Media/DCIM/"), nullptr);
}

TEST_F(FileSystemNodeTest, LinksToFoldersCountAsFoldersAndDanglingOnesDoNot) {
    write("Photos/p.jpg", "p");
    write("file.txt", "text");
    fs::create_directory_symlink("Photos", phone.media() / "photoLink");
    fs::create_symlink("missing", phone.media() / "dangling");
    fs::create_symlink("file.txt", phone.media() / "fileLink");
    write("2023/p.jpg", "p");
    fs::create_directory_symlink("2023", phone.media() / "yearLink");
    const auto photoLink = node(u"/Media/photoLink");
    EXPECT_TRUE(photoLink->isDirectory());
    EXPECT_TRUE(node(u"/Media/yearLink")->isDirectory());
    EXPECT_TRUE(photoLink->isSymbolicLink());
    EXPECT_FALSE(node(u"/Media/dangling")->isDirectory());
    EXPECT_FALSE(node(u"/Media/fileLink")->isDirectory());
    EXPECT_FALSE(node(u"/Media/Photos")->isSymbolicLink());
    EXPECT_EQ(namesOf(node(u"/Media")->subfolders()),
              (std::vector<std::string>{"2023", "Photos", "photoLink", "yearLink"}));
}

TEST_F(FileSystemNodeTest, SubfoldersAreKnownOnlyFromWhatWasListed) {
    write("Photos/p.jpg", "p");
    write("Music/song.mp3", "m");
    write("file.txt", "text");
    const auto media = node(u"/Media");
    EXPECT_EQ(media->knownToHaveSubfolders(), std::nullopt);  // never listed
    media->subfolders();
    EXPECT_EQ(media->knownToHaveSubfolders(), true);
    const auto photos = node(u"/Media/Photos");
    photos->subfolders();
    EXPECT_EQ(photos->knownToHaveSubfolders(), false);
    // A link's target is the device's to tell: unknown until asked.
    fs::create_directory_symlink("../Music", phone.media() / "Photos/musicLink");
    photos->loadChildren();
    EXPECT_EQ(photos->knownToHaveSubfolders(), std::nullopt);
    // Every child of the device is a folder.
    deviceNode->ensureChildren();
    EXPECT_EQ(deviceNode->knownToHaveSubfolders(), true);
}

TEST_F(FileSystemNodeTest, ListingRemovesWhatInterruptedUploadsStagedButNotWhatIsBeingWritten) {
    write("DCIM/IMG_1.JPG", "photo");
    write("DCIM/.plovik-0badc0de.part", "left by an unplugged upload");
    write("DCIM/.plovik-12345678.part", "still being written");
    write("DCIM/.plovik-note.part", "not one of ours");
    const StagedUploads::Hold writing(u"/DCIM/.plovik-12345678.part");
    EXPECT_EQ(namesOf(node(u"/Media/DCIM")->ensureChildren()),
              (std::vector<std::string>{".plovik-note.part", "IMG_1.JPG"}));
    EXPECT_FALSE(fs::exists(phone.media() / "DCIM/.plovik-0badc0de.part"));
    EXPECT_TRUE(fs::exists(phone.media() / "DCIM/.plovik-12345678.part"));
}

TEST_F(FileSystemNodeTest, RemovalEmptiesFoldersButNeverFollowsLinks) {
    write("Keep/precious.jpg", "precious");
    write("Gone/a/b/c.txt", "c");
    write("Gone/d.txt", "d");
    fs::create_directory_symlink("../../Keep", phone.media() / "Gone" / "a" / "keepLink");
    fs::create_directory_symlink("Keep", phone.media() / "topLink");
    EXPECT_TRUE(node(u"/Media/topLink")->remove(RefreshParent::No));
    EXPECT_TRUE(node(u"/Media/Gone")->remove(RefreshParent::Yes));
    EXPECT_EQ(namesOf(node(u"/Media")->children()), (std::vector<std::string>{"Keep"}));
    EXPECT_TRUE(fs::exists(phone.media() / "Keep" / "precious.jpg"));
}

TEST_F(FileSystemNodeTest, FailedRemovalIsReported) {
    write("Folder/inner.txt", "x");
    const auto folder = node(u"/Media/Folder");
    setSimulatorFault("AFCRemovePath", -1);
    EXPECT_FALSE(folder->remove(RefreshParent::No));
    setSimulatorFault("AFCRemovePath", 0);
    EXPECT_TRUE(fs::exists(phone.media() / "Folder" / "inner.txt"));
}

TEST_F(FileSystemNodeTest, FileInformationAndFlags) {
    write("Folder/empty.txt", "");
    write("five.bin", "12345");
    const auto media = node(u"/Media");
    const auto five = node(u"/Media/five.bin");
    EXPECT_EQ(five->fileSize(), 5);
    EXPECT_GT(five->modificationTime(), 0);
    EXPECT_FALSE(five->isDirectory());
    EXPECT_TRUE(five->canRemoveOrRename() && five->acceptsNewItems() && five->isInsideArea());
    EXPECT_FALSE(media->canRemoveOrRename());
    EXPECT_TRUE(media->acceptsNewItems());
    EXPECT_FALSE(media->remove(RefreshParent::No));
    EXPECT_TRUE(fs::exists(phone.media() / "five.bin"));
    for (const auto& upper :
         {std::shared_ptr<FileSystemNode>(deviceNode), node(u"/Applications")}) {
        EXPECT_TRUE(upper->isDirectory());
        EXPECT_FALSE(upper->canRemoveOrRename() || upper->acceptsNewItems() ||
                     upper->isInsideArea());
    }

    const auto empty = node(u"/Media/Folder/empty.txt");
    fs::remove(phone.media() / "Folder" / "empty.txt");
    EXPECT_FALSE(empty->isDirectory());
    EXPECT_EQ(empty->fileSize(), 0);
}

TEST_F(FileSystemNodeTest, ReadContentsReportsProgressAndFailures) {
    const std::string big(150000, 'b');
    write("big.bin", big);
    write("empty.bin", "");
    RecordingDelegate delegate;
    EXPECT_EQ(text(node(u"/Media/big.bin")->readContents(&delegate)), big);
    EXPECT_EQ(delegate.progress, (std::vector<std::pair<int64_t, int64_t>>{
                                     {150000, 65536}, {150000, 131072}, {150000, 150000}}));

    RecordingDelegate quiet;
    const auto empty = node(u"/Media/empty.bin")->readContents(&quiet);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
    EXPECT_TRUE(quiet.progress.empty());

    RecordingDelegate stopping;
    stopping.stopAfterChunks = 1;
    EXPECT_FALSE(node(u"/Media/big.bin")->readContents(&stopping).has_value());

    RecordingDelegate failing;
    failing.failReadsAfterFirstChunk = true;
    EXPECT_FALSE(node(u"/Media/big.bin")->readContents(&failing).has_value());
    EXPECT_FALSE(node(u"/Media/big.bin")->readContents(nullptr).has_value());
}

TEST_F(FileSystemNodeTest, AppContainersBrowsedAlternately) {
    fs::create_directories(phone.container("com.example.two") / "TwoOnly");
    SimulatedDevice other({}, {{"com.example.one", "One"}});
    fs::create_directories(other.container("com.example.one") / "OtherDevice");
    const auto otherNode = deviceNodeOf(other);

    const auto one = node(u"/Applications/One");
    const auto two = node(u"/Applications/Two");
    const auto otherOne = otherNode->nodeForPath(u"/Applications/One");
    ASSERT_TRUE(one && two && otherOne);
    EXPECT_EQ(utf8(one->fullPath()), "/");
    EXPECT_TRUE(one->isDirectory());
    EXPECT_EQ(node(u"/Applications/One/Documents")->parent(), one);
    for (int round = 0; round < 2; ++round) {
        one->loadChildren();
        two->loadChildren();
        otherOne->loadChildren();
        EXPECT_EQ(namesOf(one->children()), std::vector<std::string>{"Documents"});
        EXPECT_EQ(namesOf(two->children()), (std::vector<std::string>{"Documents", "TwoOnly"}));
        EXPECT_EQ(namesOf(otherOne->children()),
                  (std::vector<std::string>{"Documents", "OtherDevice"}));
    }
}

TEST_F(FileSystemNodeTest, SwitchingAppsLeavesOpenFilesUsable) {
    std::ofstream(phone.container("com.example.one") / "data.txt") << "still readable";
    const auto data = node(u"/Applications/One/data.txt");
    const std::shared_ptr<AFCDirectory> connection = data->directory();
    auto file = connection->openForReading(data->fullPath());
    ASSERT_TRUE(file);
    node(u"/Applications/Two")->loadChildren();
    char buffer[32] = {};
    EXPECT_EQ(file->read(buffer, sizeof buffer), 14u);
    EXPECT_TRUE(file->close());
}

TEST_F(FileSystemNodeTest, OpeningAContainerDoesNotHoldUpTheOneInUse) {
    const auto one = node(u"/Applications/One");
    const auto two = node(u"/Applications/Two");
    ASSERT_TRUE(one && two);
    const std::shared_ptr<AFCDirectory> held = one->directory();
    ASSERT_TRUE(held);
    const auto stall =
        reinterpret_cast<int (*)(int)>(SimulatedDevice::simulatorEntry("PlovikSimStallReplies"));
    stall(1);
    // Two's house arrest now waits on a silent device; One's connection must stay reachable.
    std::thread opener([&] { two->directory(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(one->directory(), held);
    const auto waited = std::chrono::steady_clock::now() - started;
    stall(0);
    opener.join();
    EXPECT_LT(waited, std::chrono::seconds(2));
}

// Counts file-information requests, one by one and in streams.
std::atomic<int> singleInfoRequests{0};
std::atomic<int> infoStreams{0};
using InfoOpen = int (*)(AFCConnectionRef, const char*, AFCDictionaryRef*);
using InfoStream = int (*)(AFCConnectionRef, const char* const*, size_t, AFCFileInfoHandler, void*);

int countedInfoOpen(AFCConnectionRef connection, const char* path, AFCDictionaryRef* info) {
    ++singleInfoRequests;
    return reinterpret_cast<InfoOpen>(SimulatedDevice::simulatorEntry("AFCFileInfoOpen"))(
        connection, path, info);
}

int countedInfoStream(AFCConnectionRef connection, const char* const* paths, size_t count,
                      AFCFileInfoHandler handler, void* context) {
    ++infoStreams;
    return reinterpret_cast<InfoStream>(SimulatedDevice::simulatorEntry("AFCFileInfoStream"))(
        connection, paths, count, handler, context);
}

TEST_F(FileSystemNodeTest, AListingFetchesItsEntriesInformationInStreamsOrWhenAsked) {
    for (int i = 0; i < 1500; ++i)
        write("Roll/IMG_" + std::to_string(i) + ".JPG", std::string(static_cast<size_t>(i), 'x'));
    bool streams = true;
    static bool* libraryStreams = &streams;
    MobileDeviceLibrary::instance().setResolver([](const char* name) -> void* {
        if (std::strcmp(name, "AFCFileInfoOpen") == 0)
            return reinterpret_cast<void*>(&countedInfoOpen);
        if (std::strcmp(name, "AFCFileInfoStream") == 0)
            return *libraryStreams ? reinterpret_cast<void*>(&countedInfoStream) : nullptr;
        return SimulatedDevice::simulatorEntry(name);
    });
    const auto roll = node(u"/Media/Roll");
    ASSERT_TRUE(roll);
    const auto sizesAreRight = [&] {
        for (const auto& child : roll->children()) {
            const std::string name = utf8(child->name());
            EXPECT_FALSE(child->isDirectory());
            EXPECT_EQ(std::to_string(child->fileSize()), name.substr(4, name.size() - 8)) << name;
        }
    };
    singleInfoRequests = 0;
    infoStreams = 0;
    roll->loadChildren();
    // Two streams, so that other work on the connection gets its turn between them.
    EXPECT_EQ(infoStreams, 2);
    sizesAreRight();
    EXPECT_EQ(singleInfoRequests, 0);

    // Names alone: nothing is asked until an entry's information is wanted.
    roll->loadChildren(ZelboLib::EntryInfo::WhenAsked);
    EXPECT_EQ(infoStreams, 2);
    EXPECT_EQ(singleInfoRequests, 0);
    EXPECT_EQ(roll->children().size(), 1500u);

    // A library without streams, or a stream that fails, leaves the information to be asked.
    streams = false;
    roll->loadChildren();
    setSimulatorFault("AFCFileInfoStream", 1);
    streams = true;
    const auto again = node(u"/Media/Roll");
    again->loadChildren();
    setSimulatorFault("AFCFileInfoStream", 0);
    singleInfoRequests = 0;
    sizesAreRight();
    EXPECT_EQ(singleInfoRequests, 1500);
    MobileDeviceLibrary::instance().setResolver({});
}

TEST_F(FileSystemNodeTest, NodesOutliveRefreshesAndUnplugs) {
    write("Folder/file.txt", "contents");
    const auto file = node(u"/Media/Folder/file.txt");
    const auto folder = file->parent();
    std::thread reader([&] {
        for (int round = 0; round < 20; ++round)
            EXPECT_EQ(text(file->readContents(nullptr)), "contents");
    });
    for (int round = 0; round < 20; ++round)
        folder->loadChildren();
    reader.join();
    EXPECT_NE(folder->children().front(), file);

    deviceNode.reset();
    phone.unplug();
    EXPECT_FALSE(file->readContents(nullptr).has_value());
    EXPECT_EQ(utf8(file->displayPath()), "/Media/Folder/file.txt");
    folder->loadChildren();
    EXPECT_TRUE(folder->children().empty());
}

}  // namespace
