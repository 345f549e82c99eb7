#include "device/amservice.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "device/fakemobiledevice.h"

namespace {

const std::string kReplyBody =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
    "<key>Status</key><string>Complete</string></dict></plist>";

class AMServiceTest : public testing::Test {
protected:
    AMServiceTest() { service.adoptServiceHandle(reinterpret_cast<AMDServiceConnectionRef>(1)); }
    std::string status(const PlistPtr& reply) {
        CZelboString text;
        ZelboLib::stringForKey(reply.get(), "Status", text);
        return text.toUtf8();
    }

    FakeMobileDevice fake;
    AMService service;
};

TEST_F(AMServiceTest, SendsALengthPrefixedXmlMessage) {
    const PlistPtr request(plist_new_dict());
    plist_dict_set_item(request.get(), "Command", plist_new_string("Browse"));
    ASSERT_TRUE(service.sendMessage(request.get()));
    const auto sent = fake.sentMessages();
    ASSERT_EQ(sent.size(), 1u);
    CZelboString command;
    ZelboLib::stringForKey(sent[0].get(), "Command", command);
    EXPECT_EQ(command.view(), u"Browse");
    EXPECT_EQ(service.lastError().view(), u"");
}

TEST_F(AMServiceTest, ReportsEachSendFailure) {
    EXPECT_FALSE(service.sendMessage(nullptr));
    EXPECT_EQ(service.lastError().view(), u"Can't convert request to xml data");
    fake.setResult("AMDServiceConnectionSend", -1);
    const PlistPtr request(plist_new_dict());
    EXPECT_FALSE(service.sendMessage(request.get()));
    EXPECT_EQ(service.lastError().view(), u"Can't send message size");
}

TEST_F(AMServiceTest, ReassemblesAReplyArrivingInPieces) {
    for (const size_t piece : {1u, 3u, 7u, 4096u}) {
        fake.setPieceSize(piece);
        fake.queueReply(kReplyBody);
        const PlistPtr reply = service.receiveMessage();
        ASSERT_NE(reply, nullptr) << piece;
        EXPECT_EQ(status(reply), "Complete");
        EXPECT_EQ(service.lastError().view(), u"");
    }
}

TEST_F(AMServiceTest, ZeroLengthGivesNullAndKeepsTheLastError) {
    EXPECT_FALSE(service.sendMessage(nullptr));
    fake.queueRawBytes(std::string(4, '\0'));
    EXPECT_EQ(service.receiveMessage(), nullptr);
    EXPECT_EQ(service.lastError().view(), u"Can't convert request to xml data");
}

TEST_F(AMServiceTest, ClosedOrTruncatedRepliesSayWhatIsMissing) {
    fake.queueRawBytes("\0\0");
    EXPECT_EQ(service.receiveMessage(), nullptr);
    EXPECT_EQ(service.lastError().view(), u"Can't receive message size");

    const uint32_t length = htonl(100);
    fake.queueRawBytes(std::string(reinterpret_cast<const char*>(&length), 4) +
                       std::string(40, 'x'));
    EXPECT_EQ(service.receiveMessage(), nullptr);
    EXPECT_EQ(service.lastError().view(), u"Reply was truncated, expected 60 more bytes");
}

TEST_F(AMServiceTest, RefusesHugeRepliesWithoutReadingThem) {
    const uint32_t length = htonl(0xFFFFFFF0u);
    fake.queueRawBytes(std::string(reinterpret_cast<const char*>(&length), 4) + "rest");
    EXPECT_EQ(service.receiveMessage(), nullptr);
    EXPECT_EQ(service.lastError().view(), u"Reply is too large: 4294967280 bytes");
    EXPECT_EQ(fake.calls("AMDServiceConnectionReceive"), 1);
}

TEST_F(AMServiceTest, GarbageBodyGivesNull) {
    fake.queueReply("this is not a property list");
    EXPECT_EQ(service.receiveMessage(), nullptr);
    EXPECT_EQ(service.lastError().view(), u"Reply is not a property list");
}

// A binary reply {"Status": arrays nested depth deep around the string "Complete"}.
std::string binaryReplyNested(int depth) {
    const PlistPtr reply(plist_new_dict());
    plist_t value = plist_new_string("Complete");
    for (int level = 0; level < depth; ++level) {
        plist_t array = plist_new_array();
        plist_array_append_item(array, value);
        value = array;
    }
    plist_dict_set_item(reply.get(), "Status", value);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(reply.get(), &bytes, &length);
    std::string body(bytes, length);
    std::free(bytes);
    return body;
}

TEST_F(AMServiceTest, RefusesBinaryRepliesNestedDeeperThanTheyAreConverted) {
    fake.queueReply(binaryReplyNested(ZelboLib::kMaxPlistNesting));
    EXPECT_NE(service.receiveMessage(), nullptr);
    EXPECT_EQ(service.lastError().view(), u"");
    fake.queueReply(binaryReplyNested(ZelboLib::kMaxPlistNesting + 1));
    EXPECT_EQ(service.receiveMessage(), nullptr);
    EXPECT_EQ(service.lastError().view(), u"Reply is nested too deeply");

    // 100,000 levels in 900 KB, far below the size bound, once overflowed libplist's stack.
    std::string deep = "bplist00";
    const uint32_t levels = 100'000;
    for (uint32_t i = 1; i <= levels; ++i) {
        deep += '\xA1';
        for (int shift = 24; shift >= 0; shift -= 8)
            deep += static_cast<char>((i >> shift) & 0xFF);
    }
    deep += '\x08';  // false, innermost
    const uint32_t table = static_cast<uint32_t>(deep.size());
    for (uint32_t i = 0; i <= levels; ++i) {
        for (int shift = 24; shift >= 0; shift -= 8)
            deep += static_cast<char>(((8 + 5 * i) >> shift) & 0xFF);
    }
    deep += std::string("\0\0\0\0\0\0\x04\x04", 8);
    for (const uint64_t field : {uint64_t{levels} + 1, uint64_t{0}, uint64_t{table}}) {
        for (int shift = 56; shift >= 0; shift -= 8)
            deep += static_cast<char>((field >> shift) & 0xFF);
    }
    fake.queueReply(deep);
    EXPECT_EQ(service.receiveMessage(), nullptr);
    EXPECT_EQ(service.lastError().view(), u"Reply is nested too deeply");

    fake.queueReply(std::string("bplist00") + std::string(40, '\0'));
    EXPECT_EQ(service.receiveMessage(), nullptr);
    EXPECT_EQ(service.lastError().view(), u"Reply is not a property list");
}

TEST_F(AMServiceTest, SetsAReceiveTimeoutAndClosesItsConnection) {
    EXPECT_EQ(fake.calls("AMDServiceConnectionSetReceiveTimeout"), 1);
    {
        AMService other;
        other.adoptServiceHandle(reinterpret_cast<AMDServiceConnectionRef>(2));
    }
    EXPECT_EQ(fake.calls("AMDServiceConnectionInvalidate"), 1);
}

}  // namespace
