#include "lockdownreply.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace plovik::usbmux {

namespace {

struct NamedError {
    const char* name;
    lockdownd_error_t code;
};

constexpr NamedError kNamedErrors[] = {
    {"InvalidResponse", LOCKDOWN_E_INVALID_RESPONSE},
    {"MissingKey", LOCKDOWN_E_MISSING_KEY},
    {"MissingValue", LOCKDOWN_E_MISSING_VALUE},
    {"GetProhibited", LOCKDOWN_E_GET_PROHIBITED},
    {"SetProhibited", LOCKDOWN_E_SET_PROHIBITED},
    {"RemoveProhibited", LOCKDOWN_E_REMOVE_PROHIBITED},
    {"ImmutableValue", LOCKDOWN_E_IMMUTABLE_VALUE},
    {"PasswordProtected", LOCKDOWN_E_PASSWORD_PROTECTED},
    {"UserDeniedPairing", LOCKDOWN_E_USER_DENIED_PAIRING},
    {"PairingDialogResponsePending", LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING},
    {"MissingHostID", LOCKDOWN_E_MISSING_HOST_ID},
    {"InvalidHostID", LOCKDOWN_E_INVALID_HOST_ID},
    {"SessionActive", LOCKDOWN_E_SESSION_ACTIVE},
    {"SessionInactive", LOCKDOWN_E_SESSION_INACTIVE},
    {"MissingSessionID", LOCKDOWN_E_MISSING_SESSION_ID},
    {"InvalidSessionID", LOCKDOWN_E_INVALID_SESSION_ID},
    {"MissingService", LOCKDOWN_E_MISSING_SERVICE},
    {"InvalidService", LOCKDOWN_E_INVALID_SERVICE},
    {"ServiceLimit", LOCKDOWN_E_SERVICE_LIMIT},
    {"MissingPairRecord", LOCKDOWN_E_MISSING_PAIR_RECORD},
    {"SavePairRecordFailed", LOCKDOWN_E_SAVE_PAIR_RECORD_FAILED},
    {"InvalidPairRecord", LOCKDOWN_E_INVALID_PAIR_RECORD},
    {"InvalidActivationRecord", LOCKDOWN_E_INVALID_ACTIVATION_RECORD},
    {"MissingActivationRecord", LOCKDOWN_E_MISSING_ACTIVATION_RECORD},
    {"ServiceProhibited", LOCKDOWN_E_SERVICE_PROHIBITED},
    {"EscrowLocked", LOCKDOWN_E_ESCROW_LOCKED},
    {"PairingProhibitedOverThisConnection", LOCKDOWN_E_PAIRING_PROHIBITED_OVER_THIS_CONNECTION},
    {"FMiPProtected", LOCKDOWN_E_FMIP_PROTECTED},
    {"MCProtected", LOCKDOWN_E_MC_PROTECTED},
    {"MCChallengeRequired", LOCKDOWN_E_MC_CHALLENGE_REQUIRED},
};

}  // namespace

const char* replyString(plist_t reply, const char* key) {
    const plist_t item = plist_dict_get_item(reply, key);
    uint64_t length = 0;
    return plist_get_node_type(item) == PLIST_STRING ? plist_get_string_ptr(item, &length)
                                                     : nullptr;
}

lockdownd_error_t lockdownErrorNamed(const char* name) {
    for (const NamedError& known : kNamedErrors) {
        if (std::strcmp(known.name, name) == 0) {
            return known.code;
        }
    }
    return LOCKDOWN_E_UNKNOWN_ERROR;
}

lockdownd_error_t checkLockdownReply(plist_t reply, const char* request) {
    if (plist_get_node_type(reply) != PLIST_DICT) {
        return LOCKDOWN_E_UNKNOWN_ERROR;
    }
    const char* answered = replyString(reply, "Request");
    if (answered == nullptr || std::strcmp(answered, request) != 0) {
        return LOCKDOWN_E_UNKNOWN_ERROR;
    }
    if (plist_dict_get_item(reply, "Result") == nullptr) {
        if (plist_dict_get_item(reply, "Error") == nullptr) {
            return LOCKDOWN_E_SUCCESS;
        }
        const char* error = replyString(reply, "Error");
        return error != nullptr ? lockdownErrorNamed(error) : LOCKDOWN_E_UNKNOWN_ERROR;
    }
    const char* result = replyString(reply, "Result");
    return result != nullptr && std::string_view(result) == "Success" ? LOCKDOWN_E_SUCCESS
                                                                      : LOCKDOWN_E_UNKNOWN_ERROR;
}

}  // namespace plovik::usbmux
