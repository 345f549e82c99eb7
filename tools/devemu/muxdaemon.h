// usbmuxd on an AF_UNIX socket: the device list, Listen events, the host's pair records, and
// Connect to a device port, after which the socket carries the device's service bytes. There is
// no pair record until a client saves one; records are kept by PairRecordID (the UDID) for the
// daemon's life, across unplugging, and across runs when kept in files. One thread per connection, as the client opens one
// connection per request.
#ifndef PLOVIK_DEVEMU_MUXDAEMON_H
#define PLOVIK_DEVEMU_MUXDAEMON_H

#include "emulateddevice.h"
#include "keptrecords.h"
#include "muxframing.h"

#include <atomic>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace plovik::devemu {

class MuxDaemon {
public:
    explicit MuxDaemon(std::string socketPath, KeptRecords pairRecords = {})
        : socketPath_(std::move(socketPath)), pairRecords_(std::move(pairRecords)) {}
    // Cuts every connection and waits for the threads serving them.
    ~MuxDaemon();
    MuxDaemon(const MuxDaemon&) = delete;
    MuxDaemon& operator=(const MuxDaemon&) = delete;

    void attach(std::shared_ptr<EmulatedDevice> device);
    // Pulls every device out, as unplugging them would.
    void detachAll();
    // The user unlocks every device and taps Trust on it.
    void allowAccessToAll();
    // Listens at the socket path, which appears only once connections are accepted; false with
    // errno set when that fails.
    bool start();

private:
    struct Connection {
        int socket;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void acceptConnections();
    void serve(int socket);
    void connect(int socket, const MuxRequest& request);
    void listen(int socket, uint32_t tag);
    void readPairRecord(int socket, const MuxRequest& request);
    void savePairRecord(int socket, const MuxRequest& request);
    void deletePairRecord(int socket, const MuxRequest& request);
    void deviceDetached(uint32_t id);
    std::shared_ptr<EmulatedDevice> device(uint32_t id);
    std::shared_ptr<EmulatedDevice> deviceByUdid(const std::string& udid);
    void joinFinished();

    const std::string socketPath_;
    int listener_ = -1;
    std::thread acceptThread_;

    std::mutex mutex_;
    bool stopping_ = false;
    std::vector<std::shared_ptr<EmulatedDevice>> devices_;
    std::vector<int> listeners_;
    std::list<Connection> connections_;
    // PairRecordData as the client saved it, by PairRecordID.
    KeptRecords pairRecords_;
};

}  // namespace plovik::devemu

#endif
