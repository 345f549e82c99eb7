#include <gtest/gtest.h>

#include "afc/afcmediadirectory.h"
#include "afc/cloudonlyphoto.h"
#include "afc/recordingdelegate.h"
#include "device/amdevice.h"
#include "device/fakemobiledevice.h"
#include "support/temporaryfolder.h"
#include "values/cint64.h"

namespace {

using ZelboLib::Owned;

class FakeAfcTest : public testing::Test {
protected:
    FakeAfcTest() {
        CZelboString error;
        device = AMDevice::attach(fake.addDevice({}), error);
        media = device->openMediaDirectory();
    }
    FakeMobileDevice fake;
    Owned<AMDevice> device;
    Owned<AFCMediaDirectory> media;
};

TEST_F(FakeAfcTest, ValuesOfDigitsAloneBecomeNumbers) {
    fake.setFileInfo({{"st_size", "0755"},
                      {"st_mtime", "1700000000123456789"},
                      {"negative", "-1"},
                      {"empty", ""},
                      {"huge", "99999999999999999999"},
                      {"st_ifmt", "S_IFREG"},
                      {"path", "/device/said"}});
    const auto info = media->fileInfo(u"/DCIM/a.jpg");
    ASSERT_NE(info, nullptr);
    const auto type = [&](const char16_t* key) { return info->objectForKey(key)->typeCode(); };
    EXPECT_EQ(type(u"st_size"), ZelboLib::kTypeInt64);
    EXPECT_EQ(info->objectForKey(u"st_size")->description().view(), u"755");
    EXPECT_EQ(info->objectForKey(u"st_mtime")->description().view(), u"1700000000123456789");
    EXPECT_EQ(type(u"negative"), ZelboLib::kTypeString);
    EXPECT_EQ(type(u"empty"), ZelboLib::kTypeString);
    EXPECT_EQ(type(u"huge"), ZelboLib::kTypeString);
    EXPECT_EQ(info->objectForKey(u"path")->description().view(), u"/DCIM/a.jpg");

    // The keys a listing keeps per entry read the same.
    const auto kept = media->fileInformation(u"/DCIM/a.jpg");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->size(), 755);
    EXPECT_EQ(kept->modificationTime(), 1700000000123456789);
    EXPECT_EQ(kept->creationTime(), 0);
    EXPECT_EQ(kept->type(), FileInformation::Type::File);
    EXPECT_TRUE(kept->linkTarget().isEmpty());
}

TEST_F(FakeAfcTest, KeptInformationTakesTheLastOfARepeatedKeyAndLinkTargetsOfDigits) {
    fake.setFileInfo({{"st_ifmt", "S_IFDIR"},
                      {"st_ifmt", "S_IFLNK"},
                      {"st_size", "12"},
                      {"st_size", "99999999999999999999"},
                      {"st_birthtime", "x"},
                      {"LinkTarget", "2023"}});
    const auto kept = media->fileInformation(u"/year");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->type(), FileInformation::Type::SymbolicLink);
    EXPECT_EQ(kept->size(), 0);
    EXPECT_EQ(kept->creationTime(), 0);
    // A link to a folder named with digits leads there.
    EXPECT_EQ(kept->linkTarget().view(), u"2023");
}

TEST_F(FakeAfcTest, SizesPast4GiBReachTheDelegateWhole) {
    TemporaryFolder folder;
    fake.setFileSize(uint64_t{5} << 30);
    RecordingDelegate delegate;
    const CZelboString local = CZelboString::fromUtf8((folder / "video.mov").string());
    EXPECT_FALSE(media->copyFileFromDevice(u"/Movies/video.mov", local, &delegate));
    ASSERT_FALSE(delegate.events.empty());
    EXPECT_EQ(delegate.events[0],
              "will /Movies/video.mov -> " + local.toUtf8() + " " + std::to_string(5LL << 30));
    EXPECT_EQ(media->errorText().view(), u"The device file ended early");
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST_F(FakeAfcTest, AFailedReadIsNotTheEndOfTheFile) {
    TemporaryFolder folder;
    fake.setResult("AFCFileRefRead", 0x20);
    const CZelboString local = CZelboString::fromUtf8((folder / "a").string());
    EXPECT_FALSE(media->copyFileFromDevice(u"/a", local, nullptr));
    EXPECT_EQ(media->errorText().view(), u"AFCFileRefRead failed: 20");
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST_F(FakeAfcTest, ACameraRollReadThatFailsOrEndsEarlySaysThePhotoIsOnlyInICloud) {
    TemporaryFolder folder;
    const CZelboString local = CZelboString::fromUtf8((folder / "IMG_0001.HEIC").string());
    fake.setResult("AFCFileRefRead", 20);
    EXPECT_FALSE(media->copyFileFromDevice(u"/DCIM/100APPLE/IMG_0001.HEIC", local, nullptr));
    EXPECT_EQ(media->errorText().view(), CloudOnlyPhoto::kFailureText);
    // Outside the camera roll the device's answer stands.
    EXPECT_FALSE(media->copyFileFromDevice(u"/Books/a.epub", local, nullptr));
    EXPECT_EQ(media->errorText().view(), u"AFCFileRefRead failed: 14");
    fake.setResult("AFCFileRefRead", 0);
    fake.setFileSize(4096);
    EXPECT_FALSE(media->copyFileFromDevice(u"/DCIM/100APPLE/IMG_0001.HEIC", local, nullptr));
    EXPECT_EQ(media->errorText().view(), CloudOnlyPhoto::kFailureText);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

}  // namespace
