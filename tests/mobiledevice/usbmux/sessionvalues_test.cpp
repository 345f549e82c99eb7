// The values of a session: what reaches the device, what is kept, and what is asked again.
#include "sessionvalues.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using plovik::usbmux::SessionValues;

namespace {

// A device's lockdown: a default domain with two keys, a battery domain that refuses to be read
// whole, and a connection that can be made to fail.
class FakeLockdown {
public:
    lockdownd_error_t get(const char* domain, const char* key, plist_t* value) {
        requests.push_back(std::string(domain ? domain : "-") + "/" + (key ? key : "*"));
        if (broken) {
            return LOCKDOWN_E_MUX_ERROR;
        }
        const std::string domainName = domain ? domain : "";
        if (domainName.empty()) {
            if (key == nullptr) {
                *value = plist_new_dict();
                plist_dict_set_item(*value, "DeviceName", plist_new_string("Phone"));
                plist_dict_set_item(*value, "ProductVersion", plist_new_string("17.1"));
                return LOCKDOWN_E_SUCCESS;
            }
            if (std::string(key) == "Hidden") {
                *value = plist_new_string("asked alone");
                return LOCKDOWN_E_SUCCESS;
            }
            return LOCKDOWN_E_MISSING_VALUE;
        }
        if (key == nullptr) {
            return LOCKDOWN_E_GET_PROHIBITED;
        }
        *value = plist_new_uint(80);
        return LOCKDOWN_E_SUCCESS;
    }

    SessionValues::Request request() {
        return [this](const char* domain, const char* key, plist_t* value) {
            return get(domain, key, value);
        };
    }

    std::vector<std::string> requests;
    bool broken = false;
};

std::string text(plist_t value) {
    const std::string result =
        plist_get_node_type(value) == PLIST_STRING ? plist_get_string_ptr(value, nullptr) : "";
    plist_free(value);
    return result;
}

}  // namespace

TEST(SessionValues, ADomainIsReadWholeOnceAndMissingKeysAreAskedForOnce) {
    FakeLockdown lockdown;
    SessionValues values;
    plist_t value = nullptr;
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(LOCKDOWN_E_SUCCESS,
                  values.copy(nullptr, "DeviceName", &value, lockdown.request()));
        EXPECT_EQ("Phone", text(value));
        ASSERT_EQ(LOCKDOWN_E_SUCCESS,
                  values.copy(nullptr, "ProductVersion", &value, lockdown.request()));
        EXPECT_EQ("17.1", text(value));
        ASSERT_EQ(LOCKDOWN_E_SUCCESS, values.copy(nullptr, "Hidden", &value, lockdown.request()));
        EXPECT_EQ("asked alone", text(value));
        EXPECT_EQ(LOCKDOWN_E_MISSING_VALUE,
                  values.copy(nullptr, "Absent", &value, lockdown.request()));
        EXPECT_EQ(nullptr, value);
    }
    EXPECT_EQ((std::vector<std::string>{"-/*", "-/Hidden", "-/Absent"}), lockdown.requests);

    // The whole domain is a copy the caller owns.
    ASSERT_EQ(LOCKDOWN_E_SUCCESS, values.copy(nullptr, nullptr, &value, lockdown.request()));
    EXPECT_EQ(PLIST_DICT, plist_get_node_type(value));
    plist_free(value);
    EXPECT_EQ(3u, lockdown.requests.size());

    // A new session asks again.
    values.clear();
    ASSERT_EQ(LOCKDOWN_E_SUCCESS, values.copy(nullptr, "DeviceName", &value, lockdown.request()));
    plist_free(value);
    EXPECT_EQ(4u, lockdown.requests.size());
}

TEST(SessionValues, ADomainRefusedWholeIsReadKeyByKey) {
    FakeLockdown lockdown;
    SessionValues values;
    plist_t value = nullptr;
    for (const char* key :
         {"BatteryCurrentCapacity", "BatteryCurrentCapacity", "BatteryIsCharging"}) {
        ASSERT_EQ(LOCKDOWN_E_SUCCESS,
                  values.copy("com.apple.mobile.battery", key, &value, lockdown.request()));
        EXPECT_EQ(PLIST_UINT, plist_get_node_type(value));
        plist_free(value);
    }
    EXPECT_EQ((std::vector<std::string>{"com.apple.mobile.battery/*",
                                        "com.apple.mobile.battery/BatteryCurrentCapacity",
                                        "com.apple.mobile.battery/BatteryIsCharging"}),
              lockdown.requests);
    EXPECT_EQ(LOCKDOWN_E_GET_PROHIBITED,
              values.copy("com.apple.mobile.battery", nullptr, &value, lockdown.request()));
}

TEST(SessionValues, AFailedConnectionIsNotKeptAsAnAnswer) {
    FakeLockdown lockdown;
    SessionValues values;
    plist_t value = nullptr;
    lockdown.broken = true;
    EXPECT_EQ(LOCKDOWN_E_MUX_ERROR, values.copy(nullptr, "DeviceName", &value, lockdown.request()));
    EXPECT_EQ(nullptr, value);
    lockdown.broken = false;
    ASSERT_EQ(LOCKDOWN_E_SUCCESS, values.copy(nullptr, "DeviceName", &value, lockdown.request()));
    EXPECT_EQ("Phone", text(value));

    lockdown.broken = true;
    EXPECT_EQ(LOCKDOWN_E_MUX_ERROR, values.copy(nullptr, "Hidden", &value, lockdown.request()));
    lockdown.broken = false;
    ASSERT_EQ(LOCKDOWN_E_SUCCESS, values.copy(nullptr, "Hidden", &value, lockdown.request()));
    EXPECT_EQ("asked alone", text(value));
}
