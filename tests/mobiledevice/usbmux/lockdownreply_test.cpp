// Lockdown replies read as libimobiledevice reads them: which grant their request, and the code
// of the error a refusal names.
#include "lockdownreply.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <utility>

using plovik::usbmux::checkLockdownReply;

namespace {

using Reply = std::unique_ptr<void, decltype(&plist_free)>;

// A dictionary of string items.
Reply replyOf(std::initializer_list<std::pair<const char*, const char*>> items) {
    Reply reply(plist_new_dict(), &plist_free);
    for (const auto& [key, value] : items) {
        plist_dict_set_item(reply.get(), key, plist_new_string(value));
    }
    return reply;
}

}  // namespace

TEST(LockdownReply, GrantsOnlyTheRequestItNamesWithSuccessOrWithoutAVerdict) {
    EXPECT_EQ(LOCKDOWN_E_SUCCESS,
              checkLockdownReply(replyOf({{"Request", "GetValue"}}).get(), "GetValue"));
    EXPECT_EQ(LOCKDOWN_E_SUCCESS,
              checkLockdownReply(replyOf({{"Request", "StartSession"}, {"Result", "Success"}}).get(),
                                 "StartSession"));
    // The reply of another request, or of none, grants nothing.
    EXPECT_EQ(LOCKDOWN_E_UNKNOWN_ERROR,
              checkLockdownReply(replyOf({{"Request", "GetValue"}}).get(), "StartService"));
    EXPECT_EQ(LOCKDOWN_E_UNKNOWN_ERROR,
              checkLockdownReply(replyOf({{"Result", "Success"}}).get(), "GetValue"));
    Reply numberedRequest(plist_new_dict(), &plist_free);
    plist_dict_set_item(numberedRequest.get(), "Request", plist_new_uint(1));
    EXPECT_EQ(LOCKDOWN_E_UNKNOWN_ERROR, checkLockdownReply(numberedRequest.get(), "GetValue"));
    const Reply notADictionary(plist_new_string("GetValue"), &plist_free);
    EXPECT_EQ(LOCKDOWN_E_UNKNOWN_ERROR, checkLockdownReply(notADictionary.get(), "GetValue"));
}

TEST(LockdownReply, ARefusalGivesTheCodeOfTheErrorItNamesWhenItHasNoResult) {
    EXPECT_EQ(LOCKDOWN_E_PASSWORD_PROTECTED,
              checkLockdownReply(
                  replyOf({{"Request", "StartSession"}, {"Error", "PasswordProtected"}}).get(),
                  "StartSession"));
    EXPECT_EQ(LOCKDOWN_E_INVALID_HOST_ID,
              checkLockdownReply(
                  replyOf({{"Request", "StartSession"}, {"Error", "InvalidHostID"}}).get(),
                  "StartSession"));
    EXPECT_EQ(LOCKDOWN_E_UNKNOWN_ERROR,
              checkLockdownReply(
                  replyOf({{"Request", "GetValue"}, {"Error", "SomethingNew"}}).get(), "GetValue"));
    // Any Result but Success fails, and its Error is not looked at.
    EXPECT_EQ(LOCKDOWN_E_UNKNOWN_ERROR,
              checkLockdownReply(replyOf({{"Request", "StartService"},
                                          {"Result", "Failure"},
                                          {"Error", "InvalidService"}})
                                     .get(),
                                 "StartService"));
    Reply numberedError = replyOf({{"Request", "GetValue"}});
    plist_dict_set_item(numberedError.get(), "Error", plist_new_uint(12));
    EXPECT_EQ(LOCKDOWN_E_UNKNOWN_ERROR, checkLockdownReply(numberedError.get(), "GetValue"));
}
