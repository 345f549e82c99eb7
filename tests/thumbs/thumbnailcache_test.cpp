#include "thumbs/thumbnailcache.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>

#include "app/scopedenvironment.h"
#include "fstree/simulatedtree.h"
#include "support/temporaryfolder.h"
#include "thumbs/rgbaimage.h"
#include "thumbs/thumbnailcachekey.h"

namespace fs = std::filesystem;

namespace {

RgbaImage pattern(int width, int height, uint8_t seed) {
    RgbaImage image{width, height, {}};
    for (int i = 0; i < width * height * 4; ++i)
        image.pixels.push_back(static_cast<uint8_t>(i * 7 + seed));
    return image;
}

// Pixels a PNG encoder cannot shrink much, so the file is large.
RgbaImage noise(int width, int height) {
    RgbaImage image{width, height, {}};
    uint32_t state = 12345;
    for (int i = 0; i < width * height * 4; ++i) {
        state = state * 1103515245 + 12345;
        image.pixels.push_back(static_cast<uint8_t>(state >> 16));
    }
    return image;
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Keys that differ in one character whose UTF-16 bytes give the same hash: 'B' is 0x42 0x00,
// U+2141 is 0x41 0x21, and 66 * 33 + 0 == 65 * 33 + 33.
const CZelboString kKeyB = u"0123456789abcdef/Media/DCIM/IMG_B.PNG";
const CZelboString kKeyTurnedA = u"0123456789abcdef/Media/DCIM/IMG_\u2141.PNG";

class ThumbnailCacheTest : public testing::Test {
protected:
    fs::path entry(const CZelboString& key, const char* extension) const {
        return folder / (std::to_string(thumbnailCacheHash(key)) + extension);
    }

    TemporaryFolder home;
    ScopedEnvironment cacheHome{"XDG_CACHE_HOME", home.path().string()};
    ThumbnailCache cache;
    fs::path folder = home / "Orvane/Plovik/zelbocache";
};

TEST(ThumbnailCacheKey, HashRunsOverTheUtf16LittleEndianBytes) {
    EXPECT_EQ(thumbnailCacheHash(u""), 5381u);
    EXPECT_EQ(thumbnailCacheHash(u"A"), 5862054u);
    EXPECT_EQ(thumbnailCacheHash(kKeyB), thumbnailCacheHash(kKeyTurnedA));
    EXPECT_NE(thumbnailCacheHash(u"/Media/a.png"), thumbnailCacheHash(u"/Media/b.png"));
}

TEST(ThumbnailCacheKey, NamesTheDeviceAndTheDisplayPath) {
    SimulatedDevice phone(std::map<std::string, std::string>{{"DeviceName", "Phone"}});
    SimulatedDevice pad(std::map<std::string, std::string>{{"DeviceName", "Pad"}});
    for (SimulatedDevice* device : {&phone, &pad}) {
        fs::create_directories(device->media() / "DCIM");
        std::ofstream(device->media() / "DCIM/IMG_1.PNG") << "png";
    }
    const auto phoneNode = deviceNodeOf(phone)->nodeForPath(u"/Media/DCIM/IMG_1.PNG");
    const auto padNode = deviceNodeOf(pad)->nodeForPath(u"/Media/DCIM/IMG_1.PNG");
    ASSERT_TRUE(phoneNode && padNode);
    EXPECT_EQ(thumbnailCacheKey(*phoneNode).toUtf8(), phone.udid() + "//Media/DCIM/IMG_1.PNG");
    EXPECT_NE(thumbnailCacheKey(*phoneNode), thumbnailCacheKey(*padNode));
}

TEST_F(ThumbnailCacheTest, EntryReadsBackFromItsTwoFiles) {
    const RgbaImage thumbnail = pattern(3, 2, 1);
    ASSERT_TRUE(cache.writeThumbnail(kKeyB, thumbnail, {4000, 3000}));

    EXPECT_EQ(cache.readThumbnail(kKeyB), thumbnail);
    EXPECT_EQ(cache.readImageSize(kKeyB), (ImageSize{4000, 3000}));
    EXPECT_EQ(contents(entry(kKeyB, ".icache")).substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(contents(entry(kKeyB, ".iinfo")), std::string("\xA0\x0F\0\0\xB8\x0B\0\0", 8));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
    struct stat status {};
    ASSERT_EQ(stat(folder.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);

    // Writing again replaces the entry.
    ASSERT_TRUE(cache.writeThumbnail(kKeyB, pattern(1, 1, 9), {1, 1}));
    EXPECT_EQ(cache.readThumbnail(kKeyB), pattern(1, 1, 9));
    EXPECT_EQ(cache.readImageSize(kKeyB), (ImageSize{1, 1}));
    EXPECT_FALSE(cache.writeThumbnail(kKeyB, RgbaImage{2, 2, {1, 2, 3}}, {2, 2}));
    EXPECT_EQ(cache.readThumbnail(u"0123456789abcdef/Media/other.png"), std::nullopt);
}

TEST_F(ThumbnailCacheTest, VideoEntryKeepsItsDurationAfterTheSize) {
    ASSERT_TRUE(cache.writeThumbnail(kKeyB, pattern(2, 2, 1), {1080, 1920},
                                     std::chrono::milliseconds(0x1'0000'0001)));
    EXPECT_EQ(cache.readImageSize(kKeyB), (ImageSize{1080, 1920}));
    EXPECT_EQ(cache.readDuration(kKeyB), std::chrono::milliseconds(0x1'0000'0001));
    EXPECT_EQ(contents(entry(kKeyB, ".iinfo")),
              std::string("\x38\x04\0\0\x80\x07\0\0\x01\0\0\0\x01\0\0\0", 16));
    // A picture's entry has none, and neither has a key sharing the hash.
    EXPECT_EQ(cache.readDuration(kKeyTurnedA), std::nullopt);
    ASSERT_TRUE(cache.writeThumbnail(kKeyB, pattern(2, 2, 1), {20, 20}));
    EXPECT_EQ(cache.readDuration(kKeyB), std::nullopt);
}

TEST_F(ThumbnailCacheTest, KeysSharingAHashNeverSeeEachOthersEntry) {
    ASSERT_TRUE(cache.writeThumbnail(kKeyB, pattern(2, 2, 1), {20, 20}));
    EXPECT_EQ(cache.readThumbnail(kKeyTurnedA), std::nullopt);
    EXPECT_EQ(cache.readImageSize(kKeyTurnedA), std::nullopt);

    ASSERT_TRUE(cache.writeThumbnail(kKeyTurnedA, pattern(2, 2, 2), {30, 30}));
    EXPECT_EQ(cache.readThumbnail(kKeyTurnedA), pattern(2, 2, 2));
    EXPECT_EQ(cache.readImageSize(kKeyTurnedA), (ImageSize{30, 30}));
    EXPECT_EQ(cache.readThumbnail(kKeyB), std::nullopt);
    EXPECT_EQ(cache.readImageSize(kKeyB), std::nullopt);
}

TEST_F(ThumbnailCacheTest, FilesWithoutTheKeyOrIncompleteAreMisses) {
    ASSERT_TRUE(cache.writeThumbnail(kKeyB, pattern(2, 2, 1), {20, 20}));
    // A PNG without the key, as an entry of another program version or a planted file.
    const auto untagged = *encodePng(pattern(2, 2, 1));
    std::ofstream(entry(kKeyB, ".icache"), std::ios::binary)
        .write(reinterpret_cast<const char*>(untagged.data()),
               static_cast<std::streamsize>(untagged.size()));
    EXPECT_EQ(cache.readThumbnail(kKeyB), std::nullopt);
    EXPECT_EQ(cache.readImageSize(kKeyB), std::nullopt);

    ASSERT_TRUE(cache.writeThumbnail(kKeyB, pattern(2, 2, 1), {20, 20}));
    std::ofstream(entry(kKeyB, ".iinfo"), std::ios::binary) << "\x14\0\0\0";
    EXPECT_EQ(cache.readImageSize(kKeyB), std::nullopt);  // the height is missing
    std::ofstream(entry(kKeyB, ".iinfo"), std::ios::binary).flush();
    EXPECT_EQ(cache.readImageSize(kKeyB), std::nullopt);
    std::ofstream(entry(kKeyB, ".icache"), std::ios::binary).flush();
    EXPECT_EQ(cache.readThumbnail(kKeyB), std::nullopt);
}

TEST_F(ThumbnailCacheTest, LinksInTheFolderAreNotFollowed) {
    const TemporaryFolder elsewhere;
    ASSERT_TRUE(ThumbnailCache(elsewhere.path()).writeThumbnail(kKeyB, pattern(2, 2, 1), {2, 2}));
    ASSERT_TRUE(cache.writeThumbnail(u"x", pattern(1, 1, 1), {1, 1}));
    for (const char* extension : {".icache", ".iinfo"})
        fs::create_symlink(elsewhere / entry(kKeyB, extension).filename().string(),
                           entry(kKeyB, extension));
    EXPECT_EQ(cache.readThumbnail(kKeyB), std::nullopt);
    EXPECT_EQ(cache.readImageSize(kKeyB), std::nullopt);
}

TEST_F(ThumbnailCacheTest, AWriteCutShortLeavesTheEarlierEntry) {
    ASSERT_TRUE(cache.writeThumbnail(kKeyB, pattern(2, 2, 1), {20, 20}));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The new thumbnail's file outgrows the limit half-way: SIGXFSZ ends the process there.
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        cache.writeThumbnail(kKeyB, noise(64, 64), {640, 640});
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "the write was not cut";

    EXPECT_EQ(cache.readThumbnail(kKeyB), pattern(2, 2, 1));
    EXPECT_EQ(cache.readImageSize(kKeyB), (ImageSize{20, 20}));
    // The cut file stays behind under its temporary name until the cache is cleared.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
}

TEST_F(ThumbnailCacheTest, SizeCountsEveryFileBelowTheFolder) {
    const std::atomic<bool> go{false};
    EXPECT_EQ(cache.totalSize(go), 0u);  // no folder yet

    ASSERT_TRUE(cache.writeThumbnail(kKeyB, pattern(2, 2, 1), {20, 20}));
    const uint64_t entryBytes = fs::file_size(entry(kKeyB, ".icache")) + 8;
    home.write("Orvane/Plovik/zelbocache/old/deeper/stray.bin", std::string(1000, 'x'));
    home.write("outside.bin", std::string(50000, 'x'));
    fs::create_symlink(home / "outside.bin", folder / "link.bin");
    fs::create_directory_symlink(home.path(), folder / "loop");
    EXPECT_EQ(cache.totalSize(go), entryBytes + 1000);

    const std::atomic<bool> stop{true};
    EXPECT_EQ(cache.totalSize(stop), std::nullopt);
}

TEST_F(ThumbnailCacheTest, ClearDeletesFilesAndKeepsFolders) {
    ASSERT_TRUE(cache.writeThumbnail(kKeyB, pattern(2, 2, 1), {20, 20}));
    home.write("Orvane/Plovik/zelbocache/old/deeper/stray.bin", "x");
    home.write("outside.bin", "keep");
    fs::create_symlink(home / "outside.bin", folder / "link.bin");
    fs::create_directory_symlink(home.path(), folder / "loop");

    cache.clear();
    EXPECT_EQ(cache.readThumbnail(kKeyB), std::nullopt);
    EXPECT_TRUE(fs::is_directory(folder / "old/deeper"));
    EXPECT_FALSE(fs::exists(folder / "old/deeper/stray.bin"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "link.bin")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "loop")));
    EXPECT_EQ(contents(home / "outside.bin"), "keep");
    EXPECT_EQ(cache.totalSize(std::atomic<bool>{false}), 0u);
}

TEST_F(ThumbnailCacheTest, ACacheFolderThatIsALinkIsNeitherClearedNorCounted) {
    // The link stands where the cache folder belongs and points at files that are not the cache's.
    home.write("documents/letter.txt", "keep me");
    home.write("documents/drafts/note.txt", "keep me too");
    fs::create_directories(folder.parent_path());
    fs::create_directory_symlink(home / "documents", folder);

    EXPECT_EQ(cache.totalSize(std::atomic<bool>{false}), 0u);
    cache.clear();
    EXPECT_EQ(contents(home / "documents/letter.txt"), "keep me");
    EXPECT_EQ(contents(home / "documents/drafts/note.txt"), "keep me too");
    EXPECT_TRUE(fs::is_symlink(folder));
}

}  // namespace
