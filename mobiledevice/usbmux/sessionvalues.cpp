#include "sessionvalues.h"

namespace plovik::usbmux {

namespace {

// What the device itself answered, as opposed to a connection that broke or a reply that could
// not be read: only those answers hold for the rest of the session.
bool isDeviceAnswer(lockdownd_error_t result) {
    switch (result) {
        case LOCKDOWN_E_SUCCESS:
        case LOCKDOWN_E_MISSING_KEY:
        case LOCKDOWN_E_MISSING_VALUE:
        case LOCKDOWN_E_GET_PROHIBITED:
            return true;
        default:
            return false;
    }
}

}  // namespace

SessionValues::Answer SessionValues::ask(const char* domain, const char* key,
                                         const Request& request) {
    plist_t value = nullptr;
    Answer answer;
    answer.result = request(domain, key, &value);
    answer.value.reset(value);
    if (answer.result != LOCKDOWN_E_SUCCESS) {
        answer.value.reset();
    }
    return answer;
}

lockdownd_error_t SessionValues::give(const Answer& answer, plist_t* value) {
    if (answer.result != LOCKDOWN_E_SUCCESS) {
        return answer.result;
    }
    *value = plist_copy(answer.value.get());
    return LOCKDOWN_E_SUCCESS;
}

lockdownd_error_t SessionValues::copy(const char* domain, const char* key, plist_t* value,
                                      const Request& request) {
    *value = nullptr;
    Domain& known = domains_[domain != nullptr ? domain : ""];
    if (!known.whole) {
        Answer whole = ask(domain, nullptr, request);
        if (!isDeviceAnswer(whole.result)) {
            return whole.result;
        }
        if (whole.result == LOCKDOWN_E_SUCCESS &&
            plist_get_node_type(whole.value.get()) != PLIST_DICT) {
            whole = Answer{LOCKDOWN_E_MISSING_VALUE, nullptr};
        }
        known.whole = std::move(whole);
    }
    if (key == nullptr) {
        return give(*known.whole, value);
    }
    if (known.whole->result == LOCKDOWN_E_SUCCESS) {
        if (const plist_t item = plist_dict_get_item(known.whole->value.get(), key)) {
            *value = plist_copy(item);
            return LOCKDOWN_E_SUCCESS;
        }
    }
    if (const auto found = known.keys.find(key); found != known.keys.end()) {
        return give(found->second, value);
    }
    Answer single = ask(domain, key, request);
    const lockdownd_error_t result = give(single, value);
    if (isDeviceAnswer(single.result)) {
        known.keys.emplace(key, std::move(single));
    }
    return result;
}

}  // namespace plovik::usbmux
