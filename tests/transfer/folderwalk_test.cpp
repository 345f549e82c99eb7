// The folder walks of transfers (download into a local folder, upload into a device folder)
// against the simulator: trees, links, hostile names, unplugs, overwrites, cancels and the small
// files copied on connections of their own.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device/mobiledevicelibrary.h"
#include "fstree/devicefilesystemnode.h"
#include "fstree/simulatedtree.h"
#include "support/concurrencygauge.h"
#include "support/simulateddevice.h"
#include "support/temporaryfolder.h"
#include "transfer/devicefolderdownload.h"
#include "transfer/localfolderupload.h"
#include "transfer/parallelcopies.h"
#include "transfer/transferjob.h"
#include "transfer/transfersize.h"
#include "transfer/transferobserver.h"

namespace fs = std::filesystem;
using ZelboLib::FileSystemNode;

namespace {

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::vector<std::string> tree(const fs::path& folder) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        entries.push_back(fs::relative(entry.path(), folder).string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

/** Records the event stream as text lines and answers the walk's questions as told. */
class RecordingObserver : public TransferObserver {
public:
    void fileStarted(const CZelboString& source, const CZelboString&, int64_t size) override {
        threads.insert(std::this_thread::get_id());
        events.push_back("start " + source.toUtf8() + " " + std::to_string(size));
    }
    void fileProgress(int64_t done, int64_t total) override {
        ++progressCalls;
        if (onProgress)
            onProgress(done, total);
    }
    void fileFinished(const CZelboString& source, const CZelboString&) override {
        threads.insert(std::this_thread::get_id());
        events.push_back("done " + source.toUtf8());
        ++finished;
    }
    void itemFailed(const CZelboString& source, const CZelboString& reason) override {
        events.push_back("failed " + source.toUtf8());
        failures.push_back(source.toUtf8() + ": " + reason.toUtf8());
    }
    void itemSkipped(const CZelboString& source, const CZelboString&) override {
        events.push_back("skipped " + source.toUtf8());
    }
    bool isCancelled() override { return cancelAfterFiles >= 0 && finished >= cancelAfterFiles; }
    bool shouldOverwrite(const CZelboString& path, CopyTarget) override {
        threads.insert(std::this_thread::get_id());
        questions.push_back(path.toUtf8());
        return overwrite;
    }

    std::vector<std::string> events;
    std::vector<std::string> failures;
    std::vector<std::string> questions;
    std::set<std::thread::id> threads;
    std::function<void(int64_t, int64_t)> onProgress;
    int progressCalls = 0;
    int finished = 0;
    int cancelAfterFiles = -1;
    bool overwrite = false;
};

class FolderWalkTest : public testing::Test {
protected:
    std::shared_ptr<FileSystemNode> node(const char16_t* path) {
        auto found = deviceNode->nodeForPath(path);
        EXPECT_TRUE(found) << CZelboString(path).toUtf8();
        return found;
    }
    void writeOnDevice(const fs::path& file, const std::string& data) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << data;
    }
    bool pull(const char16_t* devicePath, const fs::path& into) {
        DeviceFolderDownload download(observer);
        return download.run(node(devicePath), CZelboString::fromUtf8(into.string()));
    }
    bool push(const fs::path& item, const char16_t* deviceFolder) {
        LocalFolderUpload upload(observer);
        return upload.run(CZelboString::fromUtf8(item.string()), node(deviceFolder));
    }

    // Each file reported once, its start right before its end, all on the walk's thread.
    void expectEachFileReportedOnceInPairs(size_t files) {
        ASSERT_EQ(observer.events.size(), 2 * files);
        std::set<std::string> seen;
        for (size_t i = 0; i < observer.events.size(); i += 2) {
            const std::string& start = observer.events[i];
            ASSERT_EQ(start.rfind("start ", 0), 0u) << start;
            const std::string source = start.substr(6, start.rfind(' ') - 6);
            EXPECT_EQ(observer.events[i + 1], "done " + source);
            EXPECT_TRUE(seen.insert(source).second) << source;
        }
        EXPECT_EQ(observer.threads, std::set<std::thread::id>{std::this_thread::get_id()});
    }

    SimulatedDevice phone;
    std::shared_ptr<ZelboLib::DeviceFileSystemNode> deviceNode = deviceNodeOf(phone);
    TemporaryFolder local;
    RecordingObserver observer;
};

TEST_F(FolderWalkTest, DownloadRecreatesTheTreeWithEmptyFoldersAndReportsEachFile) {
    writeOnDevice(phone.media() / "Album/a.jpg", "jpeg");
    writeOnDevice(phone.media() / "Album/sub/b.txt", "bee");
    fs::create_directories(phone.media() / "Album/empty");

    EXPECT_TRUE(pull(u"/Media/Album", local.path()));
    EXPECT_EQ(tree(local.path()), (std::vector<std::string>{"Album", "Album/a.jpg", "Album/empty",
                                                            "Album/sub", "Album/sub/b.txt"}));
    EXPECT_EQ(contents(local / "Album/sub/b.txt"), "bee");
    // In the order the files ended.
    expectEachFileReportedOnceInPairs(2);
    std::vector<std::string> events = observer.events;
    std::sort(events.begin(), events.end());
    EXPECT_EQ(events, (std::vector<std::string>{
                          "done /Media/Album/a.jpg", "done /Media/Album/sub/b.txt",
                          "start /Media/Album/a.jpg 4", "start /Media/Album/sub/b.txt 3"}));
}

TEST_F(FolderWalkTest, DownloadSkipsLinksToFoldersSoLoopsEnd) {
    writeOnDevice(phone.root() / "a/file.txt", "text");
    fs::create_directory_symlink("..", phone.root() / "a/loop");
    fs::create_directory_symlink("../a", phone.root() / "a/self");
    fs::create_symlink("file.txt", phone.root() / "a/fileLink");

    EXPECT_TRUE(pull(u"/Root/a", local.path()));
    EXPECT_EQ(tree(local.path()), (std::vector<std::string>{"a", "a/file.txt", "a/fileLink"}));
    EXPECT_FALSE(fs::is_symlink(local / "a/fileLink"));
    EXPECT_EQ(contents(local / "a/fileLink"), "text");
    EXPECT_NE(std::find(observer.events.begin(), observer.events.end(), "skipped /Root/a/loop"),
              observer.events.end());
    EXPECT_TRUE(observer.failures.empty());
}

TEST_F(FolderWalkTest, APickedLinkToAFolderIsCopiedAsThatFolderWithItsInnerLinksStillSkipped) {
    writeOnDevice(phone.root() / "real/file.txt", "text");
    fs::create_directory_symlink("real", phone.root() / "shortcut");
    fs::create_directory_symlink("..", phone.root() / "real/up");
    const TransferJob download{true, u"/Root/shortcut", CZelboString(), node(u"/Root/shortcut")};
    EXPECT_EQ(transferSize(download, [] { return false; }), 4);
    EXPECT_TRUE(pull(u"/Root/shortcut", local.path()));
    EXPECT_EQ(tree(local.path()), (std::vector<std::string>{"shortcut", "shortcut/file.txt"}));
    EXPECT_NE(std::find(observer.events.begin(), observer.events.end(), "skipped /Root/shortcut/up"),
              observer.events.end());

    local.write("Albums/real/a.jpg", "a");
    fs::create_directory_symlink("real", local / "Albums/picked");
    const TransferJob upload{false, CZelboString::fromUtf8((local / "Albums/picked").string()),
                             u"/Media", node(u"/Media")};
    EXPECT_EQ(transferSize(upload, [] { return false; }), 1);
    EXPECT_TRUE(push(local / "Albums/picked", u"/Media"));
    EXPECT_EQ(contents(phone.media() / "picked/a.jpg"), "a");
}

TEST_F(FolderWalkTest, ListingFailureIsAFailureNotAnEmptyFolder) {
    fs::create_directories(phone.media() / "Locked");
    const auto locked = node(u"/Media/Locked");
    setSimulatorFault("AFCDirectoryOpen", 1);
    EXPECT_FALSE(
        DeviceFolderDownload(observer).run(locked, CZelboString::fromUtf8(local.path().string())));
    setSimulatorFault("AFCDirectoryOpen", 0);
    EXPECT_EQ(observer.events, (std::vector<std::string>{"failed /Media/Locked"}));
}

TEST_F(FolderWalkTest, UnplugMidDownloadFailsAndLeavesNoPartialFile) {
    writeOnDevice(phone.media() / "Videos/big.mov", std::string(3 << 20, 'v'));
    observer.onProgress = [&](int64_t done, int64_t) {
        if (done > 0)
            phone.unplug();
    };
    EXPECT_FALSE(pull(u"/Media/Videos", local.path()));
    EXPECT_EQ(observer.events, (std::vector<std::string>{"start /Media/Videos/big.mov 3145728",
                                                         "failed /Media/Videos/big.mov"}));
    // Neither the file nor its staged part is left behind.
    EXPECT_EQ(tree(local.path()), (std::vector<std::string>{"Videos"}));
}

TEST_F(FolderWalkTest, AFileDeletedOnTheDeviceSinceItWasListedSaysSo) {
    writeOnDevice(phone.media() / "Gone/a.jpg", "a");
    const auto folder = node(u"/Media/Gone");
    folder->loadChildren();
    fs::remove(phone.media() / "Gone/a.jpg");
    EXPECT_FALSE(DeviceFolderDownload(observer, DeviceFolderDownload::Listing::AsListed)
                     .run(folder, CZelboString::fromUtf8(local.path().string())));
    EXPECT_EQ(observer.failures,
              std::vector<std::string>{"/Media/Gone/a.jpg: No longer on the device"});
}

TEST_F(FolderWalkTest, OverwritingIsTheObserversChoice) {
    writeOnDevice(phone.media() / "note.txt", "new");
    const fs::path existing = local.write("note.txt", "old");
    EXPECT_FALSE(pull(u"/Media/note.txt", local.path()));
    EXPECT_EQ(contents(existing), "old");
    observer.overwrite = true;
    EXPECT_TRUE(pull(u"/Media/note.txt", local.path()));
    EXPECT_EQ(contents(existing), "new");

    observer.overwrite = false;
    const fs::path upload = local.write("up/note.txt", "local");
    EXPECT_FALSE(push(upload, u"/Media"));
    EXPECT_EQ(contents(phone.media() / "note.txt"), "new");
}

TEST_F(FolderWalkTest, CancelStartsNoFurtherFileAndLeavesOnlyWholeFiles) {
    // Files of a megabyte: a connection's batch takes four, so that not all of them can be on
    // their way when the cancel comes, however the walk's and the connections' threads run.
    const std::string data(ParallelCopies::kLargestFile, 'x');
    for (int i = 0; i < 30; ++i)
        writeOnDevice(phone.media() / "Many" / (std::to_string(i) + ".txt"), data);
    observer.cancelAfterFiles = 3;
    EXPECT_FALSE(pull(u"/Media/Many", local.path()));
    // Files already on their way when the cancel came may still arrive, whole; no other starts.
    const std::vector<std::string> arrived = tree(local / "Many");
    EXPECT_GE(arrived.size(), 3u);
    EXPECT_LT(arrived.size(), 30u);
    EXPECT_EQ(static_cast<size_t>(observer.finished), arrived.size());
    for (const std::string& name : arrived)
        EXPECT_EQ(contents(local / "Many" / name), data) << name;
}

TEST_F(FolderWalkTest, UploadMirrorsTheTreeAndLeavesOutLinksToFoldersAndSpecialFiles) {
    local.write("Pics/a.jpg", "a");
    local.write("Pics/b/c.jpg", "c");
    fs::create_directories(local / "Pics/empty");
    fs::create_directory_symlink("..", local / "Pics/b/up");
    fs::create_symlink("a.jpg", local / "Pics/alias.jpg");
    ASSERT_EQ(mkfifo((local / "Pics/pipe").c_str(), 0600), 0);
    fs::create_directories(phone.media() / "DCIM");

    // A FIFO would block the copy forever; it fails instead and the rest still goes.
    EXPECT_FALSE(push(local / "Pics/", u"/Media/DCIM"));
    EXPECT_EQ(tree(phone.media() / "DCIM"),
              (std::vector<std::string>{"Pics", "Pics/a.jpg", "Pics/alias.jpg", "Pics/b",
                                        "Pics/b/c.jpg", "Pics/empty"}));
    EXPECT_EQ(contents(phone.media() / "DCIM/Pics/alias.jpg"), "a");
    ASSERT_EQ(observer.failures.size(), 1u);
    EXPECT_NE(observer.failures[0].find("Pics/pipe: Not a regular file"), std::string::npos);
    EXPECT_NE(std::find(observer.events.begin(), observer.events.end(),
                        "skipped " + (local / "Pics/b/up").string()),
              observer.events.end());
}

// Counts how many file reads and writes are in flight at once.
ConcurrencyGauge transfers(std::chrono::milliseconds(2));
using FileRead = int (*)(AFCConnectionRef, AFCFileRef, void*, uint32_t*);
using FileWrite = int (*)(AFCConnectionRef, AFCFileRef, const void*, uint32_t);
FileRead realFileRead = nullptr;
FileWrite realFileWrite = nullptr;

int countedFileRead(AFCConnectionRef connection, AFCFileRef file, void* buffer, uint32_t* length) {
    return transfers.measure([&] { return realFileRead(connection, file, buffer, length); });
}

int countedFileWrite(AFCConnectionRef connection, AFCFileRef file, const void* buffer,
                     uint32_t length) {
    return transfers.measure([&] { return realFileWrite(connection, file, buffer, length); });
}

// Streams of whole files count as transfers too, and the files they carry are counted.
using ContentsStream = int (*)(AFCConnectionRef, const char* const*, const uint64_t*, size_t,
                               uint64_t, AFCFileContentsHandler, void*);
ContentsStream realContentsStream = nullptr;
std::atomic<size_t> filesStreamed{0};

int countedContentsStream(AFCConnectionRef connection, const char* const* paths,
                          const uint64_t* sizes, size_t count, uint64_t largest,
                          AFCFileContentsHandler handler, void* context) {
    filesStreamed += count;
    return transfers.measure([&] {
        return realContentsStream(connection, paths, sizes, count, largest, handler, context);
    });
}

using WriteStream = int (*)(AFCConnectionRef, const AFCFileWrite*, size_t, AFCFileWriteHandler,
                            void*);
WriteStream realWriteStream = nullptr;

int countedWriteStream(AFCConnectionRef connection, const AFCFileWrite* files, size_t count,
                       AFCFileWriteHandler handler, void* context) {
    filesStreamed += count;
    return transfers.measure(
        [&] { return realWriteStream(connection, files, count, handler, context); });
}

class ParallelWalkTest : public FolderWalkTest {
protected:
    ParallelWalkTest() {
        transfers.reset();
        realFileRead =
            reinterpret_cast<FileRead>(SimulatedDevice::simulatorEntry("AFCFileRefRead"));
        realFileWrite =
            reinterpret_cast<FileWrite>(SimulatedDevice::simulatorEntry("AFCFileRefWrite"));
        realContentsStream = reinterpret_cast<ContentsStream>(
            SimulatedDevice::simulatorEntry("AFCFileContentsStream"));
        realWriteStream =
            reinterpret_cast<WriteStream>(SimulatedDevice::simulatorEntry("AFCFileWriteStream"));
        filesStreamed = 0;
        MobileDeviceLibrary::instance().setResolver([](const char* name) -> void* {
            if (std::strcmp(name, "AFCFileWriteStream") == 0)
                return reinterpret_cast<void*>(&countedWriteStream);
            if (std::strcmp(name, "AFCFileContentsStream") == 0)
                return reinterpret_cast<void*>(&countedContentsStream);
            if (std::strcmp(name, "AFCFileRefRead") == 0)
                return reinterpret_cast<void*>(&countedFileRead);
            if (std::strcmp(name, "AFCFileRefWrite") == 0)
                return reinterpret_cast<void*>(&countedFileWrite);
            return SimulatedDevice::simulatorEntry(name);
        });
    }
    ~ParallelWalkTest() override { MobileDeviceLibrary::instance().setResolver({}); }
};

TEST_F(ParallelWalkTest, SmallFilesGoOnSeveralConnectionsBothWaysAndLargeOnesOnTheWalks) {
    for (int i = 0; i < 24; ++i)
        writeOnDevice(phone.media() / "Roll" / ("IMG_" + std::to_string(i) + ".JPG"),
                      std::string(3000 + i, static_cast<char>('a' + i)));
    writeOnDevice(phone.media() / "Roll/large.mov", std::string(5 << 20, 'm'));
    fs::create_directories(phone.media() / "Back");

    EXPECT_TRUE(pull(u"/Media/Roll", local.path()));
    EXPECT_GT(transfers.most(), 1);
    // The small files came in streams; the large one was read on the walk's own connection.
    EXPECT_EQ(filesStreamed, 24u);
    expectEachFileReportedOnceInPairs(25);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(contents(local / "Roll" / ("IMG_" + std::to_string(i) + ".JPG")),
                  std::string(3000 + i, static_cast<char>('a' + i)));
    EXPECT_EQ(fs::file_size(local / "Roll/large.mov"), 5u << 20);

    observer.events.clear();
    transfers.reset();
    filesStreamed = 0;
    EXPECT_TRUE(push(local / "Roll", u"/Media/Back"));
    EXPECT_GT(transfers.most(), 1);
    EXPECT_EQ(filesStreamed, 24u);
    expectEachFileReportedOnceInPairs(25);
    EXPECT_EQ(tree(phone.media() / "Back/Roll"), tree(local / "Roll"));
    EXPECT_EQ(contents(phone.media() / "Back/Roll/IMG_7.JPG"), std::string(3007, 'h'));
}

TEST_F(ParallelWalkTest, ExistingTargetsAreAskedAboutOnTheWalksThreadAndKept) {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        writeOnDevice(phone.media() / "Docs" / name, std::string("device ") + name);
    local.write("Docs/b.txt", "mine");
    EXPECT_FALSE(pull(u"/Media/Docs", local.path()));
    EXPECT_EQ(observer.questions, std::vector<std::string>{(local / "Docs/b.txt").string()});
    EXPECT_EQ(contents(local / "Docs/b.txt"), "mine");
    EXPECT_EQ(contents(local / "Docs/d.txt"), "device d.txt");

    observer.questions.clear();
    fs::remove_all(phone.media() / "Docs");
    writeOnDevice(phone.media() / "Docs/b.txt", "device b");
    EXPECT_FALSE(push(local / "Docs", u"/Media"));
    EXPECT_EQ(observer.questions.size(), 1u);
    EXPECT_EQ(observer.threads, std::set<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(contents(phone.media() / "Docs/b.txt"), "device b");
    EXPECT_EQ(contents(phone.media() / "Docs/a.txt"), "device a.txt");
}

TEST_F(ParallelWalkTest, UnplugAmongSmallFilesFailsTheRestAndLeavesOnlyWholeFiles) {
    for (int i = 0; i < 40; ++i)
        writeOnDevice(phone.media() / "Many" / (std::to_string(i) + ".txt"),
                      std::string(9000, 'u'));
    observer.onProgress = [&](int64_t, int64_t) {
        if (observer.finished == 3)
            phone.unplug();
    };
    EXPECT_FALSE(pull(u"/Media/Many", local.path()));
    const std::vector<std::string> arrived = tree(local / "Many");
    EXPECT_LT(arrived.size(), 40u);
    EXPECT_EQ(static_cast<size_t>(observer.finished), arrived.size());
    for (const std::string& name : arrived)
        EXPECT_EQ(contents(local / "Many" / name), std::string(9000, 'u')) << name;
}

TEST_F(ParallelWalkTest, ADeviceRefusingMoreConnectionsGetsEveryFileOnTheWalksOwn) {
    for (int i = 0; i < 6; ++i)
        writeOnDevice(phone.media() / "Few" / (std::to_string(i) + ".txt"), std::to_string(i));
    const auto few = node(u"/Media/Few");
    few->ensureChildren();
    setSimulatorFault("AFCConnectionOpen", 1);
    const bool copied =
        DeviceFolderDownload(observer).run(few, CZelboString::fromUtf8(local.path().string()));
    setSimulatorFault("AFCConnectionOpen", 0);
    EXPECT_TRUE(copied);
    EXPECT_EQ(transfers.most(), 1);
    expectEachFileReportedOnceInPairs(6);
    EXPECT_EQ(contents(local / "Few/5.txt"), "5");
}

// Names are swapped on their way out of the simulator, as a hostile device would send them.
using DirectoryRead = int (*)(AFCConnectionRef, AFCDirectoryRef, char**);
DirectoryRead realDirectoryRead = nullptr;

int hostileDirectoryRead(AFCConnectionRef connection, AFCDirectoryRef directory, char** name) {
    // An empty name would address the folder itself: a walk that took it would never end.
    static char empty[] = "";
    static char escape[] = "../escaped.txt";
    static char nested[] = "x/../../escaped.txt";
    const int result = realDirectoryRead(connection, directory, name);
    if (result == 0 && *name != nullptr) {
        if (std::strcmp(*name, "one") == 0)
            *name = empty;
        else if (std::strcmp(*name, "two") == 0)
            *name = escape;
        else if (std::strcmp(*name, "three") == 0)
            *name = nested;
    }
    return result;
}

class HostileNamesTest : public FolderWalkTest {
protected:
    HostileNamesTest() {
        realDirectoryRead =
            reinterpret_cast<DirectoryRead>(SimulatedDevice::simulatorEntry("AFCDirectoryRead"));
        MobileDeviceLibrary::instance().setResolver([](const char* name) -> void* {
            if (std::strcmp(name, "AFCDirectoryRead") == 0)
                return reinterpret_cast<void*>(&hostileDirectoryRead);
            return SimulatedDevice::simulatorEntry(name);
        });
    }
    ~HostileNamesTest() override { MobileDeviceLibrary::instance().setResolver({}); }
};

TEST_F(HostileNamesTest, NamesThatWouldLeaveTheChosenFolderFailAndTheRestArrives) {
    writeOnDevice(phone.media() / "escaped.txt", "outside");
    writeOnDevice(phone.media() / "Inbox/one", "1");
    writeOnDevice(phone.media() / "Inbox/two", "2");
    writeOnDevice(phone.media() / "Inbox/three", "3");
    writeOnDevice(phone.media() / "Inbox/back\\slash.txt", "kept");
    writeOnDevice(phone.media() / "Inbox/good.txt", "good");
    fs::create_directories(local / "out");

    EXPECT_FALSE(pull(u"/Media/Inbox", local / "out"));
    EXPECT_EQ(tree(local.path()),
              (std::vector<std::string>{"out", "out/Inbox", "out/Inbox/back\\slash.txt",
                                        "out/Inbox/good.txt"}));
    EXPECT_EQ(observer.failures.size(), 3u) << testing::PrintToString(observer.failures);
}

}  // namespace
