#include "faultplan.h"

#include <charconv>

namespace plovik::devemu {

namespace {

std::optional<uint64_t> positiveNumber(std::string_view text) {
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

bool FaultPlan::add(std::string_view option) {
    const std::size_t equals = option.find('=');
    const std::string_view kind = option.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : option.substr(equals + 1);
    const bool hasValue = equals != std::string_view::npos;
    if (!hasValue) {
        bool* flag = kind == "locked"            ? &locked_
                     : kind == "trust-pending"   ? &trustPending_
                     : kind == "deny-trust"      ? &trustDenied_
                     : kind == "tls13-only"      ? &onlyTls13_
                     : kind == "malformed-plist" ? &malformedPlists_
                     : kind == "hostile-names"   ? &hostileNames_
                     : kind == "cloud-only-photos" ? &cloudOnlyPhotos_
                     : kind == "unordered-afc"     ? &unorderedAfcReplies_
                     : kind == "refuse-afc-sent-ahead" ? &refusesAfcSentAhead_
                                                       : nullptr;
        if (flag != nullptr) {
            *flag = true;
        }
        return flag != nullptr;
    }
    if (kind == "refuse") {
        if (value.empty()) {
            return false;
        }
        refused_.emplace(value);
        return true;
    }
    std::optional<uint64_t>* number = kind == "detach-after-bytes"         ? &detachAfterBytes_
                                      : kind == "detach-at-request"        ? &detachAtRequest_
                                      : kind == "stall-at-request"         ? &stallAtRequest_
                                      : kind == "malformed-afc-at-request" ? &badHeaderAtRequest_
                                                                           : nullptr;
    if (number == nullptr) {
        return false;
    }
    *number = positiveNumber(value);
    return number->has_value();
}

RequestFault FaultPlan::atRequest(uint64_t requestNumber) const {
    if (requestNumber == detachAtRequest_) {
        return RequestFault::Detach;
    }
    if (requestNumber == stallAtRequest_) {
        return RequestFault::Stall;
    }
    if (requestNumber == badHeaderAtRequest_) {
        return RequestFault::BadHeader;
    }
    return RequestFault::None;
}

const char* FaultPlan::usage() {
    return "faults: locked, trust-pending, deny-trust (each until SIGHUP), tls13-only,\n"
           "        refuse=SERVICE, malformed-plist, hostile-names, cloud-only-photos,\n"
           "        unordered-afc, refuse-afc-sent-ahead,\n"
           "        detach-after-bytes=N,\n"
           "        detach-at-request=N, stall-at-request=N, malformed-afc-at-request=N\n"
           "        (AFC requests of a device counted from 1)\n";
}

}  // namespace plovik::devemu
