// The faults a run of the emulator drills, from --fault options, and the plain sessions of
// --no-tls. They apply to every device; without them a device behaves as a current iPhone does.
#ifndef PLOVIK_DEVEMU_FAULTPLAN_H
#define PLOVIK_DEVEMU_FAULTPLAN_H

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace plovik::devemu {

// What happens to one AFC request: the device is pulled out, stays silent, answers with another
// packet's header, stops reading its socket (and answering), sends half of the reply and closes
// the connection, or finds its storage full.
enum class RequestFault { None, Detach, Stall, BadHeader, Deaf, Reset, NoSpace };

// The requests that move file data, counted on their own: their pattern stays when the requests
// around them change.
enum class DataOperation { Read, Write };

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
    // The device answers StartSession, then never answers the host's TLS handshake.
    bool silentTls() const { return silentTls_; }
    // Sessions stay in plain text (EnableSessionSSL false), as the emulator's first versions had
    // them; not a fault --fault names.
    bool sessionTls() const { return sessionTls_; }
    void disableSessionTls() { sessionTls_ = false; }
    bool refuses(const std::string& service) const { return refused_.count(service) != 0; }
    bool malformedPlists() const { return malformedPlists_; }
    bool hostileNames() const { return hostileNames_; }
    // A hostile device's replies: listings without their last terminator, files of 10^20 bytes,
    // service messages nested 10,000 deep, and replies that announce more than any bound allows.
    bool unterminatedListings() const { return unterminatedListings_; }
    bool hugeFileSizes() const { return hugeFileSizes_; }
    bool deepPlists() const { return deepPlists_; }
    bool oversizedReplies() const { return oversizedReplies_; }
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
    // How many bytes of AFC requests a device takes in; the request that goes past is not
    // answered, the device is pulled out.
    std::optional<uint64_t> detachAfterReceived() const { return detachAfterReceived_; }
    // requestNumber counts the AFC requests of a device from 1.
    RequestFault atRequest(uint64_t requestNumber) const;
    // number counts the reads, or the writes, of a device from 1.
    RequestFault atDataOperation(DataOperation operation, uint64_t number) const;

    static const char* usage();

private:
    bool locked_ = false;
    bool trustPending_ = false;
    bool trustDenied_ = false;
    bool onlyTls13_ = false;
    bool silentTls_ = false;
    bool sessionTls_ = true;
    bool malformedPlists_ = false;
    bool hostileNames_ = false;
    bool unterminatedListings_ = false;
    bool hugeFileSizes_ = false;
    bool deepPlists_ = false;
    bool oversizedReplies_ = false;
    bool cloudOnlyPhotos_ = false;
    bool unorderedAfcReplies_ = false;
    bool refusesAfcSentAhead_ = false;
    std::set<std::string> refused_;
    std::optional<uint64_t> detachAfterBytes_;
    std::optional<uint64_t> detachAfterReceived_;
    // By kind: the read, and the write, it strikes.
    std::map<RequestFault, std::optional<uint64_t>> atRead_;
    std::map<RequestFault, std::optional<uint64_t>> atWrite_;
    std::optional<uint64_t> detachAtRequest_;
    std::optional<uint64_t> stallAtRequest_;
    std::optional<uint64_t> badHeaderAtRequest_;
};

}  // namespace plovik::devemu

#endif
