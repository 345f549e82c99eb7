#include "afc/afcapplicationdirectory.h"

#include <gtest/gtest.h>

#include <string>

#include "device/amdevice.h"
#include "device/fakemobiledevice.h"

namespace {

std::string reply(const std::string& entries) {
    return "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>" + entries + "</dict></plist>";
}

const std::string kComplete = reply("<key>Status</key><string>Complete</string>");

class HouseArrestTest : public testing::Test {
protected:
    HouseArrestTest() {
        CZelboString error;
        device = AMDevice::attach(fake.addDevice({}), error);
    }
    std::vector<std::string> sentCommands() {
        std::vector<std::string> commands;
        for (const auto& message : fake.sentMessages()) {
            CZelboString command;
            CZelboString identifier;
            ZelboLib::stringForKey(message.get(), "Command", command);
            ZelboLib::stringForKey(message.get(), "Identifier", identifier);
            commands.push_back(command.toUtf8() + " " + identifier.toUtf8());
        }
        return commands;
    }

    FakeMobileDevice fake;
    ZelboLib::Owned<AMDevice> device;
};

TEST_F(HouseArrestTest, VendsTheContainerAndOpensAfcOnTheSameConnection) {
    fake.queueReply(reply("<key>Status</key><string>Complete</string><key>Extra</key><true/>"));
    const auto container = device->openApplicationDirectory("com.example.Notes");
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(container->connection()),
              reinterpret_cast<void*>(container->serviceHandle()));
    EXPECT_EQ(container->errorText().view(), u"");
    EXPECT_EQ(sentCommands(), std::vector<std::string>{"VendContainer com.example.Notes"});
}

TEST_F(HouseArrestTest, AsksForTheDocumentsWhenTheContainerIsRefused) {
    fake.queueReply(reply("<key>Error</key><string>InstallationLookupFailed</string>"));
    fake.queueReply(kComplete);
    const auto container = device->openApplicationDirectory("com.example.Store");
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(sentCommands(), (std::vector<std::string>{"VendContainer com.example.Store",
                                                        "VendDocuments com.example.Store"}));
    EXPECT_EQ(fake.openServices(), 1);  // the refused connection was closed
}

TEST_F(HouseArrestTest, FailsWithTheRefusalWhenBothAreRefused) {
    fake.queueReply(reply("<key>Error</key><string>ApplicationLookupFailed</string>"));
    fake.queueReply(reply("<key>Error</key><string>ApplicationLookupFailed</string>"));
    AFCApplicationDirectory container;
    EXPECT_FALSE(container.openContainer("com.example.Gone", *device));
    EXPECT_EQ(container.errorText().view(), u"House Arrest failed, ApplicationLookupFailed");
    EXPECT_EQ(container.connection(), nullptr);
}

TEST_F(HouseArrestTest, ANonTextErrorIsStillARefusal) {
    fake.queueReply(reply("<key>Error</key><integer>3</integer>"));
    fake.queueReply(reply("<key>Error</key><integer>3</integer>"));
    AFCApplicationDirectory container;
    EXPECT_FALSE(container.openContainer("x", *device));
    EXPECT_EQ(container.errorText().view(), u"House Arrest failed, ");
}

TEST_F(HouseArrestTest, AfcFailureOnTheVendedConnection) {
    fake.queueReply(kComplete);
    fake.setResult("AFCConnectionOpen", 0x13);
    AFCApplicationDirectory container;
    EXPECT_FALSE(container.openContainer("x", *device));
    EXPECT_EQ(container.errorText().view(), u"AFCConnectionOpen failed, 13");
}

TEST_F(HouseArrestTest, NoServiceOrNoReplyFailsWithTheServiceText) {
    fake.setResult("AMDeviceStartService", 1);
    fake.setResult("AMDeviceSecureStartService", 1);
    EXPECT_EQ(device->openApplicationDirectory("x"), nullptr);

    fake.setResult("AMDeviceStartService", 0);
    fake.setResult("AMDeviceSecureStartService", 0);
    AFCApplicationDirectory container;
    EXPECT_FALSE(container.openContainer("x", *device));  // the device never answers
    EXPECT_EQ(container.errorText().view(), u"Can't receive message size");

    fake.queueReply("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>");
    EXPECT_FALSE(container.openContainer("x", *device));  // not a dictionary: no agreement
    EXPECT_EQ(container.connection(), nullptr);
}

TEST_F(HouseArrestTest, NonAsciiIdentifierReachesTheDeviceUnchanged) {
    fake.queueReply(kComplete);
    EXPECT_NE(device->openApplicationDirectory("com.exämple.日記"), nullptr);
    EXPECT_EQ(sentCommands(), std::vector<std::string>{"VendContainer com.exämple.日記"});
}

}  // namespace
