#include "values/localpaths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "support/temporaryfolder.h"
#include "values/cautostring.h"
#include "values/nsarray.h"

namespace {

CZelboString local(const std::filesystem::path& path) {
    return CZelboString::fromUtf8(path.string());
}

std::set<std::u16string> names(const ZelboLib::NSArray& list) {
    std::set<std::u16string> result;
    for (int i = 0; i < list.count(); ++i) {
        const auto* name = static_cast<ZelboLib::CAutoString*>(list.objectAtIndex(i));
        result.emplace(name->text().view());
    }
    return result;
}

TEST(DevicePathForming, CollapsesEveryDoubleSlash) {
    EXPECT_EQ(toForwardSlashes(u"//var////mobile/").view(), u"/var/mobile/");
    EXPECT_EQ(toForwardSlashes(joinLocalPath(u"/DCIM/", u"IMG_0001.JPG")).view(),
              u"/DCIM/IMG_0001.JPG");
    EXPECT_EQ(toForwardSlashes(joinLocalPath(u"/", u"Photos")).view(), u"/Photos");
    // A backslash is an ordinary character of POSIX and device names.
    EXPECT_EQ(toForwardSlashes(u"/a\\b").view(), u"/a\\b");
}

TEST(LocalPathParts, SplitAtTheLastSeparator) {
    EXPECT_EQ(joinLocalPath(u"/home/me", u"Pictures").view(), u"/home/me/Pictures");
    EXPECT_EQ(joinLocalPath(u"/home/me/", u"Pictures").view(), u"/home/me/Pictures");
    EXPECT_EQ(parentOfLocalPath(u"/DCIM/100APPLE/IMG_1.JPG").view(), u"/DCIM/100APPLE/");
    EXPECT_EQ(parentOfLocalPath(u"IMG_1.JPG").view(), u"IMG_1.JPG");
    EXPECT_EQ(fileNameOfLocalPath(u"/DCIM/100APPLE/IMG_1.JPG").view(), u"IMG_1.JPG");
    EXPECT_EQ(fileNameOfLocalPath(u"/DCIM/").view(), u"");
    EXPECT_EQ(fileNameOfLocalPath(u"IMG_1.JPG").view(), u"IMG_1.JPG");
}

TEST(LocalPathParts, ExtensionIsTheLastNamesLastDot) {
    EXPECT_EQ(extensionOf(u"archive.tar.gz").view(), u".gz");
    EXPECT_EQ(extensionOf(u"README").view(), u"");
    EXPECT_EQ(extensionOf(u"/DCIM/IMG_1.HEIC").view(), u".HEIC");
    EXPECT_EQ(extensionOf(u".profile").view(), u".profile");
    EXPECT_EQ(extensionOf(u"name.").view(), u".");
    // A dot in a folder's name is not the file's extension.
    EXPECT_EQ(extensionOf(u"/Backups.old/README").view(), u"");
}

TEST(LocalPathExists, TellsFilesFoldersAndTheRoot) {
    TemporaryFolder folder;
    folder.write("photo.jpg", "x");
    bool isFolder = true;
    EXPECT_TRUE(localPathExists(local(folder / "photo.jpg"), isFolder));
    EXPECT_FALSE(isFolder);
    EXPECT_TRUE(localPathExists(local(folder.path()).concat(u"///"), isFolder));
    EXPECT_TRUE(isFolder);
    EXPECT_TRUE(localPathExists(u"/", isFolder));
    EXPECT_TRUE(isFolder);

    isFolder = true;
    EXPECT_FALSE(localPathExists(local(folder / "missing"), isFolder));
    EXPECT_TRUE(isFolder);  // left alone when nothing is found
    EXPECT_FALSE(localPathExists(u"", isFolder));
}

TEST(CreateLocalFolders, CreatesEveryMissingAncestor) {
    TemporaryFolder folder;
    const auto deep = folder / "a" / "b" / "c";
    EXPECT_TRUE(createLocalFolders(local(deep).concat(u"/")));
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_TRUE(createLocalFolders(local(deep)));  // already there
}

TEST(CreateLocalFolders, TakesRelativePathsFromTheCurrentFolder) {
    TemporaryFolder folder;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    const bool created = createLocalFolders(u"x/y");
    std::filesystem::current_path(previous);
    EXPECT_TRUE(created);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "x" / "y"));
}

TEST(CreateLocalFolders, ReportsAFolderThatCouldNotBeMade) {
    TemporaryFolder folder;
    folder.write("blocker", "a file where a folder should go");
    EXPECT_FALSE(createLocalFolders(local(folder / "blocker" / "inner")));
    EXPECT_FALSE(createLocalFolders(local(folder / "blocker")));
}

TEST(ListLocalFolder, MatchesThePatternAndSkipsDotEntries) {
    TemporaryFolder folder;
    folder.write("a.txt", "");
    folder.write("b.jpg", "");
    folder.write(".hidden", "");
    std::filesystem::create_directory(folder / "sub");

    ZelboLib::NSArray all(true);
    EXPECT_TRUE(listLocalFolder(local(folder / "*"), all));
    EXPECT_EQ(names(all), (std::set<std::u16string>{u"a.txt", u"b.jpg", u".hidden", u"sub"}));

    ZelboLib::NSArray texts(true);
    EXPECT_TRUE(listLocalFolder(local(folder / "*.txt"), texts));
    EXPECT_EQ(names(texts), std::set<std::u16string>{u"a.txt"});

    ZelboLib::NSArray none(true);
    EXPECT_FALSE(listLocalFolder(local(folder / "*.png"), none));
    EXPECT_FALSE(listLocalFolder(local(folder / "missing" / "*"), none));
    EXPECT_EQ(none.count(), 0);

    ZelboLib::NSArray empty(true);
    EXPECT_TRUE(listLocalFolder(local(folder / "sub" / "*"), empty));
    EXPECT_EQ(empty.count(), 0);
}

}  // namespace
