#include "fstree/folderlisting.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fstree/simulatedtree.h"
#include "fstree/utczone.h"

using ZelboLib::DeviceFileSystemNode;

namespace {

enum Column { kName = 0, kSize = 1, kType = 2, kDate = 3 };

// Folders Beta, Zeta, alpha and files a.jpg (10 bytes), b.txt and c.txt (3 each), empty.dat;
// the device lists names in code-unit order.
class FolderListingTest : public testing::Test {
protected:
    FolderListingTest() {
        for (const char* folder : {"Zeta", "alpha", "Beta"})
            std::filesystem::create_directories(phone.media() / folder / "inside");
        write("b.txt", "bbb");
        write("a.jpg", "0123456789");
        write("c.txt", "ccc");
        write("empty.dat", "");
        listing.showFolder(deviceNode->nodeForPath(u"/Media"));
    }

    std::vector<std::string> names() {
        std::vector<std::string> shown;
        for (const auto& entry : listing.entries())
            shown.push_back(entry->name().toUtf8());
        EXPECT_TRUE(listing.isConsistent());
        return shown;
    }
    std::vector<std::string> files() {
        std::vector<std::string> shown = names();
        std::erase_if(shown,
                      [](const std::string& name) { return name.find('.') == std::string::npos; });
        return shown;
    }
    int rowOf(const std::string& name) {
        const std::vector<std::string> shown = names();
        return static_cast<int>(std::find(shown.begin(), shown.end(), name) - shown.begin());
    }
    std::string cell(const std::string& name, int column) {
        return listing.cellText(rowOf(name), column).toUtf8();
    }

    void write(const std::string& name, const std::string& contents) {
        std::ofstream(phone.media() / name, std::ios::binary) << contents;
    }

    SimulatedDevice phone;
    std::shared_ptr<DeviceFileSystemNode> deviceNode = deviceNodeOf(phone);
    FolderListing listing;
};

TEST_F(FolderListingTest, FoldersFirstThenFilesInDeviceOrder) {
    EXPECT_EQ(listing.sortColumn(), -1);
    EXPECT_EQ(names(), (std::vector<std::string>{"Beta", "Zeta", "alpha", "a.jpg", "b.txt", "c.txt",
                                                 "empty.dat"}));
}

TEST_F(FolderListingTest, NameSortKeepsFoldersFirstInEitherDirectionAndIgnoresCase) {
    listing.headerClicked(kName);
    EXPECT_TRUE(listing.sortAscending());
    EXPECT_EQ(names(), (std::vector<std::string>{"alpha", "Beta", "Zeta", "a.jpg", "b.txt", "c.txt",
                                                 "empty.dat"}));
    listing.headerClicked(kName);
    EXPECT_FALSE(listing.sortAscending());
    EXPECT_EQ(names(), (std::vector<std::string>{"Zeta", "Beta", "alpha", "empty.dat", "c.txt",
                                                 "b.txt", "a.jpg"}));
}

TEST_F(FolderListingTest, NumbersInNamesSortByValue) {
    for (const char* name : {"IMG_10.JPG", "IMG_2.JPG", "IMG_0003.JPG", "IMG_1.JPG"})
        write(name, "x");
    listing.reload();
    listing.headerClicked(kName);
    std::vector<std::string> photos;
    for (const std::string& name : files()) {
        if (name.starts_with("IMG_"))
            photos.push_back(name);
    }
    EXPECT_EQ(photos, (std::vector<std::string>{"IMG_1.JPG", "IMG_2.JPG", "IMG_0003.JPG",
                                                "IMG_10.JPG"}));
}

TEST_F(FolderListingTest, SizeTwiceGivesLargestFirstAndEqualSizesKeepTheirOrder) {
    listing.headerClicked(kSize);
    EXPECT_EQ(files(), (std::vector<std::string>{"empty.dat", "b.txt", "c.txt", "a.jpg"}));
    listing.headerClicked(kSize);
    EXPECT_FALSE(listing.sortAscending());
    EXPECT_EQ(files(), (std::vector<std::string>{"a.jpg", "b.txt", "c.txt", "empty.dat"}));
    const auto& entries = listing.entries();
    EXPECT_TRUE(std::all_of(entries.begin(), entries.end(), [&](const auto& entry) {
        return entries.front()->fileSize() >= entry->fileSize();
    }));
    // Another column starts ascending.
    listing.headerClicked(kDate);
    EXPECT_EQ(listing.sortColumn(), kDate);
    EXPECT_TRUE(listing.sortAscending());
}

TEST_F(FolderListingTest, TypeSortMixesFoldersAndFiles) {
    listing.headerClicked(kType);
    EXPECT_EQ(names(), (std::vector<std::string>{"empty.dat", "Beta", "Zeta", "alpha", "a.jpg",
                                                 "b.txt", "c.txt"}));
    EXPECT_EQ(cell("a.jpg", kType), "JPG File");
    EXPECT_EQ(cell("Beta", kType), "File Folder");
}

TEST_F(FolderListingTest, FolderFlagsFollowTheirRowsThroughSorts) {
    std::filesystem::create_directory_symlink("Zeta", phone.media() / "zlink");
    listing.reload();
    listing.headerClicked(kSize);
    for (int row = 0; row < static_cast<int>(listing.entries().size()); ++row) {
        const std::string name = listing.entries()[static_cast<size_t>(row)]->name().toUtf8();
        const bool folder = name.find('.') == std::string::npos;
        EXPECT_EQ(listing.isFolder(row), folder) << name;
        EXPECT_EQ(listing.cellText(row, kSize).isEmpty(), folder) << name;
    }
    EXPECT_FALSE(listing.isFolder(-1));
    EXPECT_FALSE(listing.isFolder(100));
}

TEST_F(FolderListingTest, CellTexts) {
    const timespec times[2] = {{741476948, 0}, {741476948, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (phone.media() / "c.txt").c_str(), times, 0), 0);
    {
        const UtcZone utc;
        EXPECT_EQ(cell("c.txt", kDate), "Wed Jun 30 21:49:08 1993\n");
    }

    EXPECT_EQ(cell("Beta", kSize), "");
    EXPECT_EQ(cell("empty.dat", kSize), "0");
    EXPECT_EQ(cell("b.txt", kSize), "3 bytes");
    EXPECT_EQ(cell("b.txt", kName), "b.txt");
    EXPECT_EQ(listing.cellText(0, 4).toUtf8(), "");
    EXPECT_EQ(listing.cellText(7, kName).toUtf8(), "");
    EXPECT_EQ(listing.cellText(-1, kName).toUtf8(), "");
}

TEST_F(FolderListingTest, TextsAreKeptUntilRefreshAndNeverOutliveASort) {
    int described = 0;
    FolderListing counting([&](const CZelboString&, bool isFolder) {
        ++described;
        return CZelboString(isFolder ? u"dir" : u"file");
    });
    counting.showFolder(listing.folder());
    EXPECT_EQ(counting.cellText(0, kType).toUtf8(), "dir");
    EXPECT_EQ(counting.cellText(0, kType).toUtf8(), "dir");
    EXPECT_EQ(described, 1);
    counting.setIconIndex(0, 7);
    counting.refresh();
    EXPECT_EQ(counting.iconIndex(0), -1);
    counting.cellText(0, kType);
    EXPECT_EQ(described, 2);

    EXPECT_EQ(listing.cellText(0, kName).toUtf8(), "Beta");
    listing.headerClicked(kName);
    listing.headerClicked(kName);
    EXPECT_TRUE(listing.isConsistent());
    EXPECT_EQ(listing.cellText(0, kName).toUtf8(), "Zeta");
}

TEST_F(FolderListingTest, ALargeFolderShowsItsNamesFirstAndSettlesOnceItsFactsArrive) {
    // Device order: f000 … f299, then the folders zz1 and zz2, past the first entries' facts.
    const std::filesystem::path big = phone.media() / "Big";
    std::filesystem::create_directories(big);
    for (int index = 0; index < 300; ++index) {
        char name[8];
        std::snprintf(name, sizeof name, "f%03d", index);
        std::ofstream(big / name, std::ios::binary) << std::string(static_cast<size_t>(index), 'x');
    }
    std::filesystem::create_directories(big / "zz1");
    std::filesystem::create_directories(big / "zz2");
    listing.showFolder(deviceNode->nodeForPath(u"/Media/Big"));
    listing.headerClicked(kSize);
    listing.headerClicked(kSize);
    const size_t count = listing.entries().size();
    ASSERT_EQ(count, 302u);
    const std::vector<FolderListing::NodePointer> wanting = listing.entriesWantingFacts();
    ASSERT_EQ(wanting.size(), count - FolderListing::kEntriesWithNames);
    // Known sizes first, largest first; the rest after them in device order, with names alone.
    EXPECT_EQ(cell("f255", kSize), "255 bytes");
    EXPECT_EQ(rowOf("f255"), 0);
    EXPECT_EQ(rowOf("f256"), static_cast<int>(FolderListing::kEntriesWithNames));
    EXPECT_EQ(rowOf("zz2"), static_cast<int>(count) - 1);
    EXPECT_EQ(cell("zz1", kSize), "");
    EXPECT_EQ(cell("zz1", kName), "zz1");
    EXPECT_EQ(listing.facts(rowOf("zz1")), nullptr);
    EXPECT_FALSE(listing.isFolder(rowOf("zz1")));

    // Facts of other nodes are not taken.
    const auto elsewhere = deviceNode->nodeForPath(u"/Media/a.jpg");
    EXPECT_TRUE(listing.learnFacts({{elsewhere, ZelboLib::factsOf(*elsewhere)}}).empty());

    // Without streams, the information comes one request at a time.
    setSimulatorFault("AFCFileInfoStream", -1);
    const std::vector<ZelboLib::NodeFacts> learnt = ZelboLib::fetchEntryFacts(
        wanting, listing.folder()->directory().get(), [] { return true; });
    setSimulatorFault("AFCFileInfoStream", 0);
    const int zz1Before = rowOf("zz1");
    const std::vector<int> changed = listing.learnFacts(learnt);
    EXPECT_EQ(changed.size(), wanting.size());
    // Rows keep their places until the order settles.
    EXPECT_EQ(rowOf("zz1"), zz1Before);
    EXPECT_TRUE(listing.isFolder(zz1Before));
    EXPECT_EQ(cell("f299", kSize), "299 bytes");
    const std::vector<int> moved = listing.settleOrder();
    ASSERT_EQ(moved.size(), count);
    EXPECT_EQ(moved[static_cast<size_t>(zz1Before)], rowOf("zz1"));
    EXPECT_TRUE(listing.settleOrder().empty());
    // As a build with every fact known (the nodes keep theirs).
    const std::vector<std::string> settled = names();
    listing.showFolder(listing.folder());
    EXPECT_EQ(names(), settled);
    EXPECT_TRUE(listing.entriesWantingFacts().empty());
}

TEST_F(FolderListingTest, EntriesOfAnEmptyOrVanishedFolder) {
    listing.showFolder(deviceNode->nodeForPath(u"/Media/Beta/inside"));
    EXPECT_TRUE(names().empty());
    listing.showFolder(nullptr);
    EXPECT_TRUE(names().empty());
    EXPECT_EQ(listing.cellText(0, kName).toUtf8(), "");
}

}  // namespace
