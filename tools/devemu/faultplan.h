// The faults a run of the emulator drills, from --fault options, and the plain sessions of
// --no-tls. They apply to every device; without them a device behaves as a current iPhone does.
#ifndef PLOVIK_DEVEMU_FAULTPLAN_H
#define PLOVIK_DEVEMU_FAULTPLAN_H

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace plovik::devemu {

// What happens to one AFC request.
enum class RequestFault { None, Detach, Stall, BadHeader };

class FaultPlan {
public:
    // Adds "KIND" or "KIND=VALUE"; false when it names no fault or the value is unusable.
    bool add(std::string_view option);

    // Until the user's hand (SIGHUP): the device is locked, the Trust dialog stays unanswered, or
    // the user taps Don't Trust.
    bool locked() const { return locked_; }
    bool trustPending() const { return trustPending_; }
    bool trustDenied() const { return trustDenied_; }
    // The session's TLS server accepts TLS 1.3 alone.
    bool onlyTls13() const { return onlyTls13_; }
    // Sessions stay in plain text (EnableSessionSSL false), as the emulator's first versions had
    // them; not a fault --fault names.
    bool sessionTls() const { return sessionTls_; }
    void disableSessionTls() { sessionTls_ = false; }
    bool refuses(const std::string& service) const { return refused_.count(service) != 0; }
    bool malformedPlists() const { return malformedPlists_; }
    bool hostileNames() const { return hostileNames_; }
    // Reads of files under /DCIM fail with an I/O error, as reported of camera-roll originals
    // that are only in iCloud.
    bool cloudOnlyPhotos() const { return cloudOnlyPhotos_; }
    // A device that cannot take requests in flight: it answers a request that waits behind
    // another before the one in front (unordered-afc), or answers every request sent before the
    // reply to the one before had arrived with a failure (refuse-afc-sent-ahead).
    bool unorderedAfcReplies() const { return unorderedAfcReplies_; }
    bool refusesAfcSentAhead() const { return refusesAfcSentAhead_; }
    // How many bytes of service replies a device sends before it is pulled out.
    std::optional<uint64_t> detachAfterBytes() const { return detachAfterBytes_; }
    // requestNumber counts the AFC requests of a device from 1.
    RequestFault atRequest(uint64_t requestNumber) const;

    static const char* usage();

private:
    bool locked_ = false;
    bool trustPending_ = false;
    bool trustDenied_ = false;
    bool onlyTls13_ = false;
    bool sessionTls_ = true;
    bool malformedPlists_ = false;
    bool hostileNames_ = false;
    bool cloudOnlyPhotos_ = false;
    bool unorderedAfcReplies_ = false;
    bool refusesAfcSentAhead_ = false;
    std::set<std::string> refused_;
    std::optional<uint64_t> detachAfterBytes_;
    std::optional<uint64_t> detachAtRequest_;
    std::optional<uint64_t> stallAtRequest_;
    std::optional<uint64_t> badHeaderAtRequest_;
};

}  // namespace plovik::devemu

#endif
