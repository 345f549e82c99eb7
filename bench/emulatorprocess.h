#pragma once

// plovik-devemu serving one device folder for one measurement, and what crossed its link: the
// counts it writes to its --stats file when it stops. Pairings are kept in the work folder, so
// the device pairs once, with the first measurement, as a phone pairs once with its computer.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "childprocess.h"

struct EmulatorStats {
    uint64_t afcConnections = 0;
    uint64_t afcRequests = 0;
    /** The requests the host sent only after the reply before had come: each a round trip. */
    uint64_t afcRoundTrips = 0;
    uint64_t bytesToDevice = 0;
    uint64_t bytesFromDevice = 0;
    /** AFC requests by operation name (FileRead, GetFileInfo, ...). */
    std::map<std::string, uint64_t> afcByOperation;
    uint64_t lockdownConnections = 0;
    uint64_t tlsHandshakes = 0;
    /** Lockdown sessions by the TLS version they negotiated (TLSv1.3, ...). */
    std::map<std::string, uint64_t> tlsVersions;

    uint64_t requestsOf(const std::string& operation) const;
    /** "FileRead 1025, FileOpen 1, ...", most frequent first. */
    std::string operationSummary() const;
};

class EmulatorProcess {
public:
    /** Serves deviceFolder at workFolder/mux; throws std::runtime_error when it does not start. */
    EmulatorProcess(const std::string& program, const std::filesystem::path& workFolder,
                    const std::filesystem::path& deviceFolder, const std::string& link);

    /** For USBMUXD_SOCKET_ADDRESS. */
    std::string socketAddress() const { return "UNIX:" + socket_.string(); }
    /** Stops it and reads its counts; throws std::runtime_error when they are missing. */
    EmulatorStats stop();
    /** SIGUSR1 unplugs its device, SIGUSR2 plugs it in again. */
    void signal(int number) const { process_->signal(number); }

private:
    std::filesystem::path socket_;
    std::filesystem::path statsFile_;
    std::filesystem::path log_;
    std::unique_ptr<ChildProcess> process_;
};
