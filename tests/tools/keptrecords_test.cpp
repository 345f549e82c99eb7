#include "keptrecords.h"
#include "trustedhosts.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using plovik::devemu::KeptRecords;
using plovik::devemu::Pairing;
using plovik::devemu::TrustedHosts;
namespace fs = std::filesystem;

class KeptRecordsTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("kept-records-" + std::to_string(getpid()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
};

TEST_F(KeptRecordsTest, RecordsOutliveTheRunAndErasedOnesDoNot) {
    {
        KeptRecords records(folder_ / "lockdown");
        records.store("0123456789abcdef", "first");
        records.store("0123456789abcdef", "second");
        records.store("A9777358-FF9F-44CE-832C-E40761AFBE5A", "other");
        records.store("gone", "soon");
        records.erase("gone");
    }
    const KeptRecords next(folder_ / "lockdown");
    EXPECT_EQ(next.find("0123456789abcdef"), "second");
    EXPECT_EQ(next.find("A9777358-FF9F-44CE-832C-E40761AFBE5A"), "other");
    EXPECT_FALSE(next.find("gone"));
    EXPECT_EQ(next.all().size(), 2u);
    // Nothing is left beside the records, the files written aside included.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "lockdown"), {}), 2);
}

TEST_F(KeptRecordsTest, NamesThatAreNotPlainStayInMemoryAndWriteNothingOutsideTheFolder) {
    KeptRecords records(folder_ / "inner");
    for (const char* name : {"../escape", "..", ".hidden", "a/b", "/tmp/abs", ""}) {
        records.store(name, "hostile");
        EXPECT_EQ(records.find(name), "hostile") << name;
    }
    EXPECT_FALSE(fs::exists(folder_ / "escape.plist"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), {}), 1);
    EXPECT_TRUE(fs::is_empty(folder_ / "inner"));
    EXPECT_TRUE(KeptRecords(folder_ / "inner").all().empty());
}

TEST_F(KeptRecordsTest, ADeviceRemembersItsPairingsAcrossRunsUntilItForgetsThem) {
    const auto pairing = Pairing::fromKept(
        "<plist><dict><key>HostID</key><string>HOST-1</string>"
        "<key>RootCertificate</key><data>cm9vdA==</data>"
        "<key>DeviceCertificate</key><data>ZGV2aWNl</data></dict></plist>");
    ASSERT_TRUE(pairing);
    EXPECT_FALSE(
        Pairing::fromKept("<plist><dict><key>HostID</key><string>x</string></dict></plist>"));
    TrustedHosts(KeptRecords(folder_)).remember(*pairing);
    {
        TrustedHosts hosts{KeptRecords(folder_)};
        const auto found = hosts.find("HOST-1");
        ASSERT_TRUE(found);
        EXPECT_EQ(found->rootCertificate(), "root");
        EXPECT_EQ(found->deviceCertificate(), "device");
        hosts.forget("HOST-1");
    }
    EXPECT_FALSE(TrustedHosts(KeptRecords(folder_)).find("HOST-1"));
    // A damaged file is no pairing.
    std::ofstream(folder_ / "HOST-2.plist") << "not a property list";
    EXPECT_FALSE(TrustedHosts(KeptRecords(folder_)).find("HOST-2"));
}

}  // namespace
