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

// Faults that strike the Nth read, or write, of a device.
struct CountedFault {
    std::string_view name;
    DataOperation operation;
    RequestFault fault;
};
constexpr CountedFault kCountedFaults[] = {
    {"detach-at-read", DataOperation::Read, RequestFault::Detach},
    {"stall-at-read", DataOperation::Read, RequestFault::Stall},
    {"deaf-at-read", DataOperation::Read, RequestFault::Deaf},
    {"reset-at-read", DataOperation::Read, RequestFault::Reset},
    {"detach-at-write", DataOperation::Write, RequestFault::Detach},
    {"stall-at-write", DataOperation::Write, RequestFault::Stall},
    {"deaf-at-write", DataOperation::Write, RequestFault::Deaf},
    {"no-space-at-write", DataOperation::Write, RequestFault::NoSpace},
};

}  // namespace

bool FaultPlan::add(std::string_view option) {
    const std::size_t equals = option.find('=');
    const std::string_view kind = option.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : option.substr(equals + 1);
    const bool hasValue = equals != std::string_view::npos;
    if (!hasValue) {
        bool* flag = kind == "locked"                  ? &locked_
                     : kind == "trust-pending"         ? &trustPending_
                     : kind == "deny-trust"            ? &trustDenied_
                     : kind == "tls13-only"            ? &onlyTls13_
                     : kind == "silent-tls"            ? &silentTls_
                     : kind == "malformed-plist"       ? &malformedPlists_
                     : kind == "hostile-names"         ? &hostileNames_
                     : kind == "unterminated-listing"  ? &unterminatedListings_
                     : kind == "huge-file-size"        ? &hugeFileSizes_
                     : kind == "deep-plist"            ? &deepPlists_
                     : kind == "oversized-reply"       ? &oversizedReplies_
                     : kind == "cloud-only-photos"     ? &cloudOnlyPhotos_
                     : kind == "unordered-afc"         ? &unorderedAfcReplies_
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
                                      : kind == "detach-after-received"    ? &detachAfterReceived_
                                      : kind == "detach-at-request"        ? &detachAtRequest_
                                      : kind == "stall-at-request"         ? &stallAtRequest_
                                      : kind == "malformed-afc-at-request" ? &badHeaderAtRequest_
                                                                           : nullptr;
    if (number == nullptr) {
        for (const CountedFault& counted : kCountedFaults) {
            if (kind == counted.name) {
                number =
                    &(counted.operation == DataOperation::Read ? atRead_ : atWrite_)[counted.fault];
            }
        }
    }
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

RequestFault FaultPlan::atDataOperation(DataOperation operation, uint64_t number) const {
    for (const auto& [fault, at] : operation == DataOperation::Read ? atRead_ : atWrite_) {
        if (at == number) {
            return fault;
        }
    }
    return RequestFault::None;
}

const char* FaultPlan::usage() {
    return "faults: locked, trust-pending, deny-trust (each until SIGHUP), tls13-only,\n"
           "        silent-tls, refuse=SERVICE, malformed-plist, hostile-names,\n"
           "        cloud-only-photos, unordered-afc, refuse-afc-sent-ahead,\n"
           "        unterminated-listing, huge-file-size, deep-plist, oversized-reply,\n"
           "        detach-after-bytes=N (sent), detach-after-received=N (taken in),\n"
           "        detach-at-request=N, stall-at-request=N, malformed-afc-at-request=N\n"
           "        (AFC requests of a device counted from 1),\n"
           "        detach-at-read=N, stall-at-read=N, deaf-at-read=N, reset-at-read=N,\n"
           "        detach-at-write=N, stall-at-write=N, deaf-at-write=N, no-space-at-write=N\n"
           "        (file reads, and file writes, of a device counted from 1; deaf: stops\n"
           "        reading its socket; reset: half the reply, then the connection closes)\n";
}

}  // namespace plovik::devemu
