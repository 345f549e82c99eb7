// AFC over a served folder: listing, information, files, path operations and confinement.

#include "simtest.h"

#include <filesystem>
#include <thread>

namespace {

namespace fs = std::filesystem;

class AfcTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        device_.writeFile("Media/DCIM/100APPLE/IMG_0001.JPG", "jpeg bytes");
        device_.writeFile("Media/DCIM/100APPLE/IMG_0002.PNG", "png bytes");
        device_.writeFile("Media/Books/book.txt", "chapter one");
        device_.writeFile("Root/etc/hosts", "127.0.0.1 localhost");
        device_.writeFile("outside/secret.txt", "do not serve");
        handle_ = attach(device_);
        ASSERT_NE(nullptr, handle_);
        afc_ = openAfc(handle_);
        ASSERT_NE(nullptr, afc_);
    }

    void TearDown() override {
        EXPECT_EQ(0, SIM_CALL(AFCConnectionClose, afc_));
        SimTest::TearDown();
    }

    TempDevice device_{"0123456789abcdef0123456789abcdef01234567"};
    AMDeviceRef handle_ = nullptr;
    AFCConnectionRef afc_ = nullptr;
};

TEST_F(AfcTest, ListingStartsWithDotsThenSortedNames) {
    EXPECT_EQ((std::vector<std::string>{".", "..", "Books", "DCIM"}), list(afc_, "/"));
    EXPECT_EQ((std::vector<std::string>{".", "..", "IMG_0001.JPG", "IMG_0002.PNG"}),
              list(afc_, "/DCIM/100APPLE"));
    EXPECT_EQ((std::vector<std::string>{".", "..", "IMG_0001.JPG", "IMG_0002.PNG"}),
              list(afc_, "DCIM//./100APPLE/"));
    EXPECT_EQ(std::nullopt, list(afc_, "/Missing"));
    EXPECT_EQ(std::nullopt, list(afc_, "/Books/book.txt"));
}

TEST_F(AfcTest, InfoUsesTheKeysAndFormsOfADevice) {
    const auto file = info(afc_, "/Books/book.txt");
    EXPECT_EQ("S_IFREG", file.at("st_ifmt"));
    EXPECT_EQ("11", file.at("st_size"));
    EXPECT_EQ("1", file.at("st_nlink"));
    EXPECT_TRUE(file.contains("st_blocks"));
    const auto modified = fs::last_write_time(device_.media() / "Books/book.txt");
    const auto expected = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::file_clock::to_sys(modified).time_since_epoch());
    EXPECT_EQ(std::to_string(expected.count()), file.at("st_mtime"));
    EXPECT_GE(file.at("st_birthtime").size(), 18u);
    EXPECT_FALSE(file.contains("LinkTarget"));

    EXPECT_EQ("S_IFDIR", info(afc_, "/").at("st_ifmt"));
    EXPECT_EQ("S_IFDIR", info(afc_, "/DCIM").at("st_ifmt"));

    fs::create_directory_symlink("DCIM/100APPLE", device_.media() / "Camera");
    const auto link = info(afc_, "/Camera");
    EXPECT_EQ("S_IFLNK", link.at("st_ifmt"));
    EXPECT_EQ("/DCIM/100APPLE", link.at("LinkTarget"));
    fs::create_directory_symlink("../Books", device_.media() / "DCIM/Shelf");
    EXPECT_EQ("/Books", info(afc_, "/DCIM/Shelf").at("LinkTarget"));

    int result = 0;
    info(afc_, "/Missing", &result);
    EXPECT_EQ(8, result);
}

TEST_F(AfcTest, FilesReadWriteSeekAndTell) {
    ASSERT_EQ(0, writeFile(afc_, "/Books/new.txt", "0123456789"));
    EXPECT_EQ("0123456789", device_.readFile("Media/Books/new.txt"));
    ASSERT_EQ(0, writeFile(afc_, "/Books/new.txt", "abc"));
    EXPECT_EQ("abc", readFile(afc_, "/Books/new.txt"));
    const auto writeWithMode = [this](uint64_t mode, const char* bytes) {
        AFCFileRef file = 0;
        ASSERT_EQ(0, SIM_CALL(AFCFileRefOpen, afc_, "/Books/new.txt", mode, 0, &file));
        ASSERT_EQ(0, SIM_CALL(AFCFileRefWrite, afc_, file, bytes, 1u));
        ASSERT_EQ(0, SIM_CALL(AFCFileRefClose, afc_, file));
    };
    // Read-write keeps the old tail; append adds at the end whatever the position.
    writeWithMode(kAFCFileModeReadWrite, "X");
    EXPECT_EQ("Xbc", device_.readFile("Media/Books/new.txt"));
    writeWithMode(kAFCFileModeAppend, "d");
    EXPECT_EQ("Xbcd", device_.readFile("Media/Books/new.txt"));

    AFCFileRef file = 0;
    ASSERT_EQ(0, SIM_CALL(AFCFileRefOpen, afc_, "/Books/book.txt", kAFCFileModeRead, 0, &file));
    ASSERT_NE(0u, file);
    ASSERT_EQ(0, SIM_CALL(AFCFileRefSeek, afc_, file, 0, kAFCSeekFromEnd));
    uint64_t position = 0;
    ASSERT_EQ(0, SIM_CALL(AFCFileRefTell, afc_, file, &position));
    EXPECT_EQ(11u, position);
    ASSERT_EQ(0, SIM_CALL(AFCFileRefSeek, afc_, file, 8, kAFCSeekFromStart));
    char buffer[64] = {};
    uint32_t length = sizeof buffer;
    ASSERT_EQ(0, SIM_CALL(AFCFileRefRead, afc_, file, buffer, &length));
    EXPECT_EQ("one", std::string(buffer, length));
    length = sizeof buffer;
    ASSERT_EQ(0, SIM_CALL(AFCFileRefRead, afc_, file, buffer, &length));
    EXPECT_EQ(0u, length);
    EXPECT_NE(0, SIM_CALL(AFCFileRefWrite, afc_, file, "x", 1u));
    EXPECT_NE(0, SIM_CALL(AFCFileRefSeek, afc_, file, 0, 9u));
    ASSERT_EQ(0, SIM_CALL(AFCFileRefClose, afc_, file));
    EXPECT_NE(0, SIM_CALL(AFCFileRefClose, afc_, file));
    EXPECT_NE(0, SIM_CALL(AFCFileRefTell, afc_, file, &position));

    EXPECT_EQ(8, SIM_CALL(AFCFileRefOpen, afc_, "/Missing.txt", kAFCFileModeRead, 0, &file));
    EXPECT_EQ(9, SIM_CALL(AFCFileRefOpen, afc_, "/DCIM", kAFCFileModeRead, 0, &file));
    EXPECT_NE(0, SIM_CALL(AFCFileRefOpen, afc_, "/Books/book.txt", 7u, 0, &file));
}

TEST_F(AfcTest, LargeReadsFillTheBuffer) {
    const std::string content(3 * 1024 * 1024 + 17, 'z');
    ASSERT_EQ(0, writeFile(afc_, "/big.bin", content));
    AFCFileRef file = 0;
    ASSERT_EQ(0, SIM_CALL(AFCFileRefOpen, afc_, "/big.bin", kAFCFileModeRead, 0, &file));
    std::string buffer(262144, '\0');
    uint64_t total = 0;
    for (;;) {
        uint32_t length = static_cast<uint32_t>(buffer.size());
        ASSERT_EQ(0, SIM_CALL(AFCFileRefRead, afc_, file, buffer.data(), &length));
        total += length;
        // Callers take a short read for the end of the file.
        if (length < buffer.size()) {
            break;
        }
    }
    EXPECT_EQ(content.size(), total);
    EXPECT_EQ(0, SIM_CALL(AFCFileRefClose, afc_, file));
}

TEST_F(AfcTest, PathOperations) {
    EXPECT_EQ(0, SIM_CALL(AFCDirectoryCreate, afc_, "/New/Deeper/Deepest"));
    EXPECT_TRUE(fs::is_directory(device_.media() / "New/Deeper/Deepest"));
    EXPECT_EQ(0, SIM_CALL(AFCDirectoryCreate, afc_, "/New/Deeper"));
    EXPECT_EQ(16, SIM_CALL(AFCDirectoryCreate, afc_, "/Books/book.txt"));

    EXPECT_EQ(0, SIM_CALL(AFCRenamePath, afc_, "/Books/book.txt", "/New/moved.txt"));
    EXPECT_EQ("chapter one", device_.readFile("Media/New/moved.txt"));
    EXPECT_EQ(8, SIM_CALL(AFCRenamePath, afc_, "/Books/book.txt", "/New/again.txt"));

    EXPECT_EQ(33, SIM_CALL(AFCRemovePath, afc_, "/New"));
    EXPECT_TRUE(fs::exists(device_.media() / "New/moved.txt"));
    EXPECT_EQ(0, SIM_CALL(AFCRemovePath, afc_, "/New/moved.txt"));
    EXPECT_EQ(0, SIM_CALL(AFCRemovePath, afc_, "/Books"));
    EXPECT_EQ(8, SIM_CALL(AFCRemovePath, afc_, "/Books"));
    EXPECT_NE(0, SIM_CALL(AFCRemovePath, afc_, "/"));
    EXPECT_TRUE(fs::exists(device_.media()));
}

TEST_F(AfcTest, NothingOutsideTheServedFolderIsReached) {
    fs::create_directory_symlink("/etc", device_.media() / "etc");
    fs::create_directory_symlink("../outside", device_.media() / "sibling");
    fs::create_symlink("../../outside/secret.txt", device_.media() / "DCIM/secret.txt");
    fs::create_directory_symlink("../Root", device_.media() / "root");

    for (const char* path :
         {"/../outside/secret.txt", "../../outside/secret.txt", "/DCIM/../../outside/secret.txt",
          "/etc/hostname", "/sibling/secret.txt", "/DCIM/secret.txt", "/root/etc/hosts"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(std::nullopt, readFile(afc_, path));
        EXPECT_NE(0, writeFile(afc_, path, "overwritten"));
    }
    for (const char* path : {"/..", "/etc", "/sibling", "/root", "/DCIM/../.."}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(std::nullopt, list(afc_, path));
    }
    EXPECT_NE(0, SIM_CALL(AFCDirectoryCreate, afc_, "/sibling/made"));
    EXPECT_NE(0, SIM_CALL(AFCDirectoryCreate, afc_, "/../made"));
    EXPECT_NE(0, SIM_CALL(AFCRenamePath, afc_, "/Books/book.txt", "/../stolen.txt"));
    EXPECT_NE(0, SIM_CALL(AFCRenamePath, afc_, "/../outside/secret.txt", "/stolen.txt"));
    EXPECT_NE(0, SIM_CALL(AFCRemovePath, afc_, "/sibling/secret.txt"));
    EXPECT_EQ("do not serve", device_.readFile("outside/secret.txt"));
    EXPECT_FALSE(fs::exists(device_.folder() / "outside/made"));
    EXPECT_FALSE(fs::exists(device_.folder() / "made"));
    EXPECT_FALSE(fs::exists(device_.folder() / "stolen.txt"));

    // The links themselves are entries of the folder: described and removed, never followed.
    EXPECT_EQ("/etc", info(afc_, "/etc").at("LinkTarget"));
    EXPECT_EQ(0, SIM_CALL(AFCRemovePath, afc_, "/sibling"));
    EXPECT_TRUE(fs::exists(device_.folder() / "outside/secret.txt"));
}

TEST_F(AfcTest, LinksThatStayInsideAreFollowed) {
    fs::create_directory_symlink("DCIM/100APPLE", device_.media() / "Camera");
    fs::create_symlink("../Books/book.txt", device_.media() / "DCIM/book-link.txt");
    fs::create_symlink("loop", device_.media() / "loop");

    EXPECT_EQ((std::vector<std::string>{".", "..", "IMG_0001.JPG", "IMG_0002.PNG"}),
              list(afc_, "/Camera"));
    EXPECT_EQ("chapter one", readFile(afc_, "/DCIM/book-link.txt"));
    EXPECT_EQ(0, writeFile(afc_, "/Camera/IMG_0003.JPG", "new photo"));
    EXPECT_EQ("new photo", device_.readFile("Media/DCIM/100APPLE/IMG_0003.JPG"));
    EXPECT_EQ(std::nullopt, readFile(afc_, "/loop"));
}

TEST_F(AfcTest, HostileArgumentsAreRefused) {
    const std::string longPath(70000, 'a');
    EXPECT_EQ(std::nullopt, list(afc_, longPath.c_str()));
    EXPECT_NE(0, SIM_CALL(AFCDirectoryCreate, afc_, longPath.c_str()));
    EXPECT_NE(0, SIM_CALL(AFCDirectoryCreate, afc_, nullptr));
    AFCDirectoryRef directory = nullptr;
    EXPECT_NE(0, SIM_CALL(AFCDirectoryOpen, afc_, nullptr, &directory));
    // Handles of one kind are not accepted as another, nor made-up ones.
    char* name = nullptr;
    EXPECT_NE(0, SIM_CALL(AFCDirectoryRead, afc_, reinterpret_cast<AFCDirectoryRef>(afc_), &name));
    EXPECT_NE(0, SIM_CALL(AFCRemovePath, reinterpret_cast<AFCConnectionRef>(0x42), "/Books"));
    AFCConnectionRef other = openAfc(handle_);
    ASSERT_EQ(0, SIM_CALL(AFCDirectoryOpen, afc_, "/", &directory));
    EXPECT_NE(0, SIM_CALL(AFCDirectoryRead, other, directory, &name));
    EXPECT_EQ(0, SIM_CALL(AFCDirectoryClose, afc_, directory));
    EXPECT_EQ(0, SIM_CALL(AFCConnectionClose, other));
    EXPECT_TRUE(fs::exists(device_.media() / "Books"));
}

TEST_F(AfcTest, ConnectionsWorkFromSeveralThreadsAtOnce) {
    const std::string content(1024 * 1024, 'q');
    std::vector<std::thread> threads;
    std::atomic<int> failures = 0;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            const std::string path = "/file" + std::to_string(i);
            for (int round = 0; round < 5; ++round) {
                if (writeFile(afc_, path.c_str(), content) != 0 ||
                    readFile(afc_, path.c_str()) != content || !list(afc_, "/DCIM")) {
                    ++failures;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(0, failures);
}

TEST_F(AfcTest, RootServiceServesTheRootFolder) {
    AFCConnectionRef root = openAfc(handle_, "com.apple.afc2");
    ASSERT_NE(nullptr, root);
    EXPECT_EQ("127.0.0.1 localhost", readFile(root, "/etc/hosts"));
    EXPECT_EQ(0, SIM_CALL(AFCConnectionClose, root));
}

}  // namespace
