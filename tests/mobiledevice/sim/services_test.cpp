// Installation proxy and house arrest over the service byte stream.

#include "simtest.h"

#include <chrono>

namespace {

using PlistDict = PlistNode;

PlistDict request(const char* command, const char* identifier = nullptr) {
    PlistDict message(plist_new_dict(), &plist_free);
    plist_dict_set_item(message.get(), "Command", plist_new_string(command));
    if (identifier != nullptr) {
        plist_dict_set_item(message.get(), "Identifier", plist_new_string(identifier));
    }
    return message;
}

std::string text(plist_t dictionary, const char* key) {
    const plist_t node = plist_dict_get_item(dictionary, key);
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) {
        return {};
    }
    char* value = nullptr;
    plist_get_string_val(node, &value);
    std::string result(value);
    free(value);
    return result;
}

uint64_t number(plist_t dictionary, const char* key) {
    uint64_t value = 0;
    if (const plist_t node = plist_dict_get_item(dictionary, key)) {
        plist_get_uint_val(node, &value);
    }
    return value;
}

class ServicesTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        for (const char* id : {"com.example.e", "com.example.a", "com.example.d", "com.example.c",
                               "com.example.b"}) {
            device_.addApp(id, std::string("App ") + id);
        }
        device_.addApp("com.apple.system", "System App", "System");
        device_.writeFile("Apps/com.example.a/Container/Documents/notes.txt", "hello");
        device_.writeFile("Apps/com.example.a/Container/Library/secret.txt", "private");
        handle_ = attach(device_);
        ASSERT_NE(nullptr, handle_);
    }

    AMDServiceConnectionRef start(const char* name) {
        beginSession(handle_);
        const AMDServiceConnectionRef service = startService(handle_, name);
        endSession(handle_);
        return service;
    }

    TempDevice device_{"0123456789abcdef0123456789abcdef01234567"};
    AMDeviceRef handle_ = nullptr;
};

TEST_F(ServicesTest, BrowseSendsUserAppsInPagesThatSurviveChunking) {
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimSetBrowsePageSize, 3));
    // Pieces smaller than the length prefix: the client must reassemble even that.
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimSetReplyChunking, size_t{3}));
    const AMDServiceConnectionRef service = start("com.apple.mobile.installation_proxy");
    ASSERT_NE(nullptr, service);
    ServiceClient client(service);
    PlistDict browse = request("Browse");
    plist_t options = plist_new_dict();
    plist_dict_set_item(options, "ApplicationType", plist_new_string("User"));
    plist_dict_set_item(browse.get(), "ClientOptions", options);
    ASSERT_TRUE(client.send(browse.get()));

    std::vector<std::string> identifiers;
    std::vector<uint64_t> amounts;
    for (;;) {
        PlistDict reply = client.receive();
        ASSERT_NE(nullptr, reply);
        if (text(reply.get(), "Status") != "BrowsingApplications") {
            EXPECT_EQ("Complete", text(reply.get(), "Status"));
            break;
        }
        EXPECT_EQ(5u, number(reply.get(), "Total"));
        EXPECT_EQ(identifiers.size(), number(reply.get(), "CurrentIndex"));
        const plist_t list = plist_dict_get_item(reply.get(), "CurrentList");
        amounts.push_back(number(reply.get(), "CurrentAmount"));
        EXPECT_EQ(amounts.back(), plist_array_get_size(list));
        for (uint32_t i = 0; i < plist_array_get_size(list); ++i) {
            identifiers.push_back(text(plist_array_get_item(list, i), "CFBundleIdentifier"));
        }
    }
    EXPECT_EQ((std::vector<uint64_t>{3, 2}), amounts);
    EXPECT_EQ((std::vector<std::string>{"com.example.a", "com.example.b", "com.example.c",
                                        "com.example.d", "com.example.e"}),
              identifiers);
    EXPECT_EQ(0, SIM_CALL(AMDServiceConnectionInvalidate, service));
}

TEST_F(ServicesTest, ProxyAnswersBadRequestsWithErrorsAndStaysUsable) {
    const AMDServiceConnectionRef service = start("com.apple.mobile.installation_proxy");
    ServiceClient client(service);
    ASSERT_TRUE(client.send(request("Uninstall").get()));
    EXPECT_EQ("UnknownCommand", text(client.receive().get(), "Error"));

    const char garbage[] = "\0\0\0\x05<?xml";
    ASSERT_EQ(9, SIM_CALL(AMDServiceConnectionSend, service, garbage, 9));
    EXPECT_EQ("InvalidRequest", text(client.receive().get(), "Error"));

    PlistDict notADictionary(plist_new_array(), &plist_free);
    ASSERT_TRUE(client.send(notADictionary.get()));
    EXPECT_EQ("InvalidRequest", text(client.receive().get(), "Error"));

    ASSERT_TRUE(client.send(request("Browse").get()));
    PlistDict page = client.receive();
    // Without ClientOptions every app is listed, system apps too.
    EXPECT_EQ(6u, number(page.get(), "Total"));
    EXPECT_EQ(0, SIM_CALL(AMDServiceConnectionInvalidate, service));
}

TEST_F(ServicesTest, VendContainerServesTheAppsContainer) {
    const AMDServiceConnectionRef service = start("com.apple.mobile.house_arrest");
    ServiceClient client(service);
    AFCConnectionRef afc = nullptr;
    // Before the vend the connection speaks no AFC.
    EXPECT_NE(0, SIM_CALL(AFCConnectionOpen, service, 0, &afc));
    ASSERT_TRUE(client.send(request("VendContainer", "com.example.a").get()));
    PlistDict reply = client.receive();
    EXPECT_EQ("Complete", text(reply.get(), "Status"));

    ASSERT_EQ(0, SIM_CALL(AFCConnectionOpen, service, 0, &afc));
    EXPECT_EQ((std::vector<std::string>{".", "..", "Documents", "Library"}), list(afc, "/"));
    EXPECT_EQ("hello", readFile(afc, "/Documents/notes.txt"));
    EXPECT_EQ(std::nullopt, list(afc, "/.."));
    EXPECT_EQ(0, SIM_CALL(AFCConnectionClose, afc));
    EXPECT_EQ(0, SIM_CALL(AMDServiceConnectionInvalidate, service));
}

TEST_F(ServicesTest, VendDocumentsExposesDocumentsOnly) {
    const AMDServiceConnectionRef service = start("com.apple.mobile.house_arrest");
    ServiceClient client(service);
    ASSERT_TRUE(client.send(request("VendDocuments", "com.example.a").get()));
    EXPECT_EQ("Complete", text(client.receive().get(), "Status"));
    AFCConnectionRef afc = nullptr;
    ASSERT_EQ(0, SIM_CALL(AFCConnectionOpen, service, 0, &afc));

    EXPECT_EQ((std::vector<std::string>{".", "..", "Documents"}), list(afc, "/"));
    EXPECT_EQ("hello", readFile(afc, "/Documents/notes.txt"));
    EXPECT_EQ(std::nullopt, readFile(afc, "/Library/secret.txt"));
    EXPECT_EQ(std::nullopt, readFile(afc, "/Documents/../Library/secret.txt"));
    EXPECT_NE(0, writeFile(afc, "/outside.txt", "x"));
    EXPECT_NE(0, SIM_CALL(AFCRemovePath, afc, "/Documents"));
    EXPECT_EQ(0, SIM_CALL(AFCConnectionClose, afc));
    EXPECT_EQ(0, SIM_CALL(AMDServiceConnectionInvalidate, service));
}

TEST_F(ServicesTest, HouseArrestRefusals) {
    const auto vend = [this](const char* command, const char* identifier) {
        const AMDServiceConnectionRef service = start("com.apple.mobile.house_arrest");
        ServiceClient client(service);
        EXPECT_TRUE(client.send(request(command, identifier).get()));
        PlistDict reply = client.receive();
        const std::string error = text(reply.get(), "Error");
        // AFC starts exactly when the vend succeeded.
        AFCConnectionRef afc = nullptr;
        const int opened = SIM_CALL(AFCConnectionOpen, service, 0, &afc);
        EXPECT_EQ(error.empty(), opened == 0);
        if (opened == 0) {
            EXPECT_EQ(0, SIM_CALL(AFCConnectionClose, afc));
        }
        EXPECT_EQ(0, SIM_CALL(AMDServiceConnectionInvalidate, service));
        return error;
    };
    EXPECT_EQ("ApplicationLookupFailed", vend("VendContainer", "com.example.unknown"));
    EXPECT_EQ("ApplicationLookupFailed", vend("VendContainer", "../com.example.a"));
    EXPECT_EQ("ApplicationLookupFailed", vend("VendContainer", ".."));
    EXPECT_EQ("MissingIdentifier", vend("VendContainer", nullptr));
    EXPECT_EQ("UnknownCommand", vend("VendEverything", "com.example.a"));

    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimSetHouseArrestRefusal, "VendContainer",
                                     "InstallationLookupFailed"));
    EXPECT_EQ("InstallationLookupFailed", vend("VendContainer", "com.example.a"));
    EXPECT_EQ("", vend("VendDocuments", "com.example.a"));
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimSetHouseArrestRefusal, "VendContainer", nullptr));
    EXPECT_EQ("", vend("VendContainer", "com.example.a"));
    EXPECT_EQ(kPlovikSimBadArgument, SIM_CALL(PlovikSimSetHouseArrestRefusal, "Browse", "X"));
}

TEST_F(ServicesTest, StalledServerMakesReceiveTimeOut) {
    const AMDServiceConnectionRef service = start("com.apple.mobile.installation_proxy");
    ASSERT_EQ(0, SIM_CALL(AMDServiceConnectionSetReceiveTimeout, service, 100u));
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimStallReplies, 1));
    ServiceClient client(service);
    ASSERT_TRUE(client.send(request("Browse").get()));

    char byte = 0;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_LT(SIM_CALL(AMDServiceConnectionReceive, service, &byte, size_t{1}), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(90));

    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimStallReplies, 0));
    ASSERT_EQ(0, SIM_CALL(AMDServiceConnectionSetReceiveTimeout, service, 5000u));
    EXPECT_EQ("BrowsingApplications", text(client.receive().get(), "Status"));
    EXPECT_EQ(0, SIM_CALL(AMDServiceConnectionInvalidate, service));
}

TEST_F(ServicesTest, DetachCutsOpenServices) {
    const AMDServiceConnectionRef service = start("com.apple.mobile.installation_proxy");
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimStallReplies, 1));
    ServiceClient client(service);
    ASSERT_TRUE(client.send(request("Browse").get()));
    ASSERT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimDetach, device_.uniqueDeviceId().c_str()));

    char byte = 0;
    EXPECT_EQ(0, SIM_CALL(AMDServiceConnectionReceive, service, &byte, size_t{1}));
    EXPECT_LT(SIM_CALL(AMDServiceConnectionSend, service, "x", size_t{1}), 0);
    EXPECT_EQ(0, SIM_CALL(AMDServiceConnectionInvalidate, service));
    EXPECT_LT(SIM_CALL(AMDServiceConnectionReceive, service, &byte, size_t{1}), 0);
    EXPECT_NE(0, SIM_CALL(AMDServiceConnectionInvalidate, service));
}

}  // namespace
