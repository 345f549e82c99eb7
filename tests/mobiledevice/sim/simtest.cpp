#include "simtest.h"

#include <arpa/inet.h>

#include <cstring>

int NotificationRecorder::subscribe() {
    AMDeviceNotificationRef notification = nullptr;
    return SIM_CALL(AMDeviceNotificationSubscribe, &NotificationRecorder::deliver, 0, 0, this,
                    &notification);
}

std::vector<NotificationRecorder::Event> NotificationRecorder::events() {
    SIM_CALL(PlovikSimFlushNotifications);
    std::lock_guard lock(mutex_);
    return events_;
}

void NotificationRecorder::deliver(const AMDeviceNotificationInfo* info, void* context) {
    auto* recorder = static_cast<NotificationRecorder*>(context);
    std::lock_guard lock(recorder->mutex_);
    recorder->events_.push_back({info->device, info->message, std::this_thread::get_id()});
}

PlistNode makeString(const char* text) {
    return PlistNode(plist_new_string(text), &plist_free);
}

bool ServiceClient::send(plist_t message) const {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(message, &xml, &length);
    std::string bytes(4, '\0');
    const uint32_t prefix = htonl(length);
    std::memcpy(bytes.data(), &prefix, 4);
    bytes.append(xml, length);
    plist_to_xml_free(xml);
    return SIM_CALL(AMDServiceConnectionSend, service_, bytes.data(), bytes.size()) ==
           static_cast<int64_t>(bytes.size());
}

PlistNode ServiceClient::receive() const {
    uint32_t prefix = 0;
    if (!receiveExactly(reinterpret_cast<char*>(&prefix), 4)) {
        return PlistNode(nullptr, &plist_free);
    }
    std::string body(ntohl(prefix), '\0');
    if (!receiveExactly(body.data(), body.size())) {
        return PlistNode(nullptr, &plist_free);
    }
    plist_t node = nullptr;
    plist_from_xml(body.data(), static_cast<uint32_t>(body.size()), &node);
    return PlistNode(node, &plist_free);
}

bool ServiceClient::receiveExactly(char* buffer, size_t length) const {
    size_t done = 0;
    while (done < length) {
        const int64_t count =
            SIM_CALL(AMDServiceConnectionReceive, service_, buffer + done, length - done);
        if (count <= 0) {
            return false;
        }
        done += static_cast<size_t>(count);
    }
    return true;
}

void SimTest::SetUp() {
    ASSERT_EQ(0, recorder_.subscribe());
}

void SimTest::TearDown() {
    SIM_CALL(PlovikSimReset);
}

AMDeviceRef SimTest::attach(const TempDevice& device) {
    const size_t before = recorder_.events().size();
    EXPECT_EQ(kPlovikSimOk, SIM_CALL(PlovikSimAttach, device.folder().c_str()));
    const auto events = recorder_.events();
    return events.size() > before ? events.back().device : nullptr;
}

void SimTest::beginSession(AMDeviceRef device) {
    ASSERT_EQ(0, SIM_CALL(AMDeviceConnect, device));
    ASSERT_EQ(0, SIM_CALL(AMDeviceStartSession, device));
}

void SimTest::endSession(AMDeviceRef device) {
    EXPECT_EQ(0, SIM_CALL(AMDeviceStopSession, device));
    EXPECT_EQ(0, SIM_CALL(AMDeviceDisconnect, device));
}

AMDServiceConnectionRef SimTest::startService(AMDeviceRef device, const char* name, int* result) {
    AMDServiceConnectionRef service = nullptr;
    const int started =
        SIM_CALL(AMDeviceStartService, device, makeString(name).get(), &service, nullptr);
    if (result != nullptr) {
        *result = started;
    }
    return started == 0 ? service : nullptr;
}

AFCConnectionRef SimTest::openAfc(AMDeviceRef device, const char* service) {
    beginSession(device);
    const AMDServiceConnectionRef handle = startService(device, service);
    endSession(device);
    AFCConnectionRef afc = nullptr;
    EXPECT_EQ(0, SIM_CALL(AFCConnectionOpen, handle, 0, &afc));
    return afc;
}

std::optional<std::vector<std::string>> SimTest::list(AFCConnectionRef afc, const char* path) {
    AFCDirectoryRef directory = nullptr;
    if (SIM_CALL(AFCDirectoryOpen, afc, path, &directory) != 0) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    char* name = nullptr;
    while (SIM_CALL(AFCDirectoryRead, afc, directory, &name) == 0 && name != nullptr) {
        names.emplace_back(name);
    }
    EXPECT_EQ(0, SIM_CALL(AFCDirectoryClose, afc, directory));
    return names;
}

std::map<std::string, std::string> SimTest::info(AFCConnectionRef afc, const char* path,
                                                 int* result) {
    AFCDictionaryRef dictionary = nullptr;
    const int opened = SIM_CALL(AFCFileInfoOpen, afc, path, &dictionary);
    if (result != nullptr) {
        *result = opened;
    }
    std::map<std::string, std::string> pairs;
    if (opened != 0) {
        return pairs;
    }
    char* key = nullptr;
    char* value = nullptr;
    while (SIM_CALL(AFCKeyValueRead, dictionary, &key, &value) == 0 && key != nullptr) {
        pairs[key] = value;
    }
    EXPECT_EQ(0, SIM_CALL(AFCKeyValueClose, dictionary));
    return pairs;
}

int SimTest::writeFile(AFCConnectionRef afc, const char* path, const std::string& content) {
    AFCFileRef file = 0;
    if (const int opened =
            SIM_CALL(AFCFileRefOpen, afc, path, kAFCFileModeWriteTruncate, 0, &file)) {
        return opened;
    }
    const int written =
        SIM_CALL(AFCFileRefWrite, afc, file, content.data(), static_cast<uint32_t>(content.size()));
    EXPECT_EQ(0, SIM_CALL(AFCFileRefClose, afc, file));
    return written;
}

std::optional<std::string> SimTest::readFile(AFCConnectionRef afc, const char* path) {
    AFCFileRef file = 0;
    if (SIM_CALL(AFCFileRefOpen, afc, path, kAFCFileModeRead, 0, &file) != 0) {
        return std::nullopt;
    }
    std::string content;
    char buffer[4096];
    for (;;) {
        uint32_t length = sizeof buffer;
        if (SIM_CALL(AFCFileRefRead, afc, file, buffer, &length) != 0 || length == 0) {
            break;
        }
        content.append(buffer, length);
    }
    EXPECT_EQ(0, SIM_CALL(AFCFileRefClose, afc, file));
    return content;
}
