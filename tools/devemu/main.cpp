// plovik-devemu: an emulated iOS device behind a usbmuxd socket, for libusbmuxd and
// libimobiledevice to talk to as they talk to a real one. As a current iPhone, a device starts
// unpaired: the host pairs with it (the emulated user taps Trust at once), and lockdown sessions
// run inside TLS. Pair records (the host's, in the daemon) and pairings (the device's) last for
// the run, across unplugging, and across runs with --state. Runs until SIGINT or SIGTERM, then writes what crossed its links
// to the --stats file; SIGUSR1 unplugs the devices and SIGUSR2 plugs them in again, under new
// device ids as usbmuxd gives; SIGHUP unlocks them and answers their Trust dialog with Trust, so
// that a locked, pending or refusing device completes itself.
#include "emulateddevice.h"
#include "faultplan.h"
#include "muxdaemon.h"
#include "tlssession.h"
#include "traffictally.h"
#include "trustedhosts.h"
#include "usblink.h"

#include "devicefolder.h"

#include <malloc.h>
#include <sys/prctl.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace plovik::devemu;

struct Options {
    std::string socketPath;
    std::string statsPath;
    std::string statePath;
    std::vector<std::string> deviceFolders;
    LinkProfile link;
    FaultPlan faults;
};

int usage(const char* problem) {
    std::fprintf(stderr,
                 "plovik-devemu: %s\n"
                 "usage: plovik-devemu --socket PATH --device FOLDER [--device FOLDER]...\n"
                 "                     [--link usb2|usb3|none|MBPS,MS[,PACKET]] [--stats FILE]\n"
                 "                     [--fault FAULT]... [--no-tls] [--state FOLDER]\n%s"
                 "Devices start unpaired and trust the host that pairs; sessions run inside\n"
                 "TLS 1.2 or 1.3, or in plain text with --no-tls. With --state, pair records\n"
                 "and the devices' pairings are kept in FOLDER from one run to the next.\n"
                 "Point clients at it with USBMUXD_SOCKET_ADDRESS=UNIX:PATH.\n"
                 "SIGUSR1 unplugs the devices, SIGUSR2 plugs them in again, SIGHUP unlocks\n"
                 "them and taps Trust on them.\n",
                 problem, FaultPlan::usage());
    return 2;
}

// An error message, or empty when the arguments are complete.
std::string parse(int argc, char** argv, Options& options) {
    for (int index = 1; index < argc; ++index) {
        const std::string_view option = argv[index];
        if (option == "--no-tls") {
            options.faults.disableSessionTls();
            continue;
        }
        if (index + 1 >= argc) {
            return std::string(option) + " needs a value";
        }
        const char* value = argv[++index];
        if (option == "--socket") {
            options.socketPath = value;
        } else if (option == "--stats") {
            options.statsPath = value;
        } else if (option == "--state") {
            options.statePath = value;
        } else if (option == "--device") {
            options.deviceFolders.emplace_back(value);
        } else if (option == "--link") {
            const auto link = LinkProfile::parse(value);
            if (!link) {
                return std::string("unknown link: ") + value;
            }
            options.link = *link;
        } else if (option == "--fault") {
            if (!options.faults.add(value)) {
                return std::string("unknown fault: ") + value;
            }
        } else {
            return "unknown option " + std::string(option);
        }
    }
    if (options.socketPath.empty() || options.deviceFolders.empty()) {
        return "--socket and --device are needed";
    }
    return {};
}

// What each device, by UDID, remembers of the hosts it paired with, from one plugging to the
// next.
using TrustedHostsByUdid = std::map<std::string, std::shared_ptr<TrustedHosts>>;

// Whether the user has unlocked the devices and answers their Trust dialog with Trust (SIGHUP);
// it holds for devices plugged in again.
enum class UserHand { Waiting, Allows };

// Attaches a device for each folder, numbered from nextId on; false when a folder is unusable.
bool plugIn(MuxDaemon& daemon, const Options& options, uint32_t& nextId,
            TrustedHostsByUdid& trustedHosts, const std::shared_ptr<TrafficTally>& tally,
            UserHand hand) {
    std::set<std::string> udids;
    for (const std::string& folder : options.deviceFolders) {
        std::unique_ptr<plovik::sim::DeviceFolder> deviceFolder;
        if (plovik::sim::DeviceFolder::open(folder.c_str(), deviceFolder) != 0) {
            std::fprintf(stderr, "plovik-devemu: %s: not a device folder\n", folder.c_str());
            return false;
        }
        // The UDID names the pair record and the device to every client: it must be unique.
        if (!udids.insert(deviceFolder->uniqueDeviceId()).second) {
            std::fprintf(stderr,
                         "plovik-devemu: %s: a device with UniqueDeviceID %s is served already\n",
                         folder.c_str(), deviceFolder->uniqueDeviceId().c_str());
            return false;
        }
        const std::string& udid = deviceFolder->uniqueDeviceId();
        std::shared_ptr<TrustedHosts>& hosts = trustedHosts[udid];
        if (!hosts) {
            hosts = options.statePath.empty() || !KeptRecords::isPlainName(udid)
                        ? std::make_shared<TrustedHosts>()
                        : std::make_shared<TrustedHosts>(KeptRecords(
                              std::filesystem::path(options.statePath) / "devices" / udid));
        }
        auto device = std::make_shared<EmulatedDevice>(
            nextId++, std::make_shared<plovik::sim::SimDevice>(std::move(deviceFolder)), hosts,
            options.faults, options.link, tally);
        if (hand == UserHand::Allows) {
            device->allowAccess();
        }
        daemon.attach(std::move(device));
    }
    return true;
}

// Room for a read of the size hosts ask for, its reply, and the requests around them.
void prefaultHeap() {
    constexpr std::size_t kPrefaulted = 4 << 20;
    const std::unique_ptr<char[]> heap(new char[kPrefaulted]);
    // Written, not only reserved, and a write no compiler drops.
    explicit_bzero(heap.get(), kPrefaulted);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::string problem = parse(argc, argv, options); !problem.empty()) {
        return usage(problem.c_str());
    }
    // The link's waits are a fraction of a millisecond each; the default slack of the kernel's
    // timers (50 us) would add up over the thousands of requests of a small-file copy. Set before
    // any thread starts, every thread inherits it.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    // A file read makes and frees a reply of up to 16 MiB. Kept in the heap rather than mapped
    // and handed back to the kernel each time, their pages are faulted in once, not for every
    // read: the emulator's own cost, which no device has, would take the host's processor.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    // One heap for every connection's thread, faulted in before any host comes: a device's
    // services are running long before the host connects, and a fresh heap per connection would
    // fault in the first replies' pages while the host waits, costing a fresh emulator's first
    // copy some milliseconds that no device has.
    mallopt(M_ARENA_MAX, 1);
    prefaultHeap();
    // Blocked before any thread starts, so that only sigwait below receives them.
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2, SIGHUP}) {
        sigaddset(&signals, signal);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    const auto tally = std::make_shared<TrafficTally>();
    TrustedHostsByUdid trustedHosts;
    {
        MuxDaemon daemon(options.socketPath,
                         options.statePath.empty()
                             ? KeptRecords()
                             : KeptRecords(std::filesystem::path(options.statePath) / "lockdown"));
        uint32_t nextId = 1;
        UserHand hand = UserHand::Waiting;
        if (!plugIn(daemon, options, nextId, trustedHosts, tally, hand)) {
            return 1;
        }
        TlsSession::prepare();
        if (!daemon.start()) {
            std::fprintf(stderr, "plovik-devemu: %s: %s\n", options.socketPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
        for (int signal = 0; signal != SIGINT && signal != SIGTERM;) {
            sigwait(&signals, &signal);
            if (signal == SIGHUP) {
                hand = UserHand::Allows;
                daemon.allowAccessToAll();
            } else if (signal == SIGUSR1) {
                daemon.detachAll();
            } else if (signal == SIGUSR2) {
                daemon.detachAll();
                // A folder that became unusable is reported and left unplugged.
                plugIn(daemon, options, nextId, trustedHosts, tally, hand);
            }
        }
    }
    // Written once every connection has ended, so the counts are complete.
    if (!options.statsPath.empty() && !(std::ofstream(options.statsPath) << tally->report())) {
        std::fprintf(stderr, "plovik-devemu: cannot write %s\n", options.statsPath.c_str());
        return 1;
    }
    return 0;
}
