#include "emulatorprocess.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "interruption.h"

namespace fs = std::filesystem;

uint64_t EmulatorStats::requestsOf(const std::string& operation) const {
    const auto found = afcByOperation.find(operation);
    return found == afcByOperation.end() ? 0 : found->second;
}

std::string EmulatorStats::operationSummary() const {
    std::vector<std::pair<std::string, uint64_t>> operations(afcByOperation.begin(),
                                                             afcByOperation.end());
    std::stable_sort(operations.begin(), operations.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::string summary;
    for (const auto& [name, count] : operations)
        summary += (summary.empty() ? "" : ", ") + name + " " + std::to_string(count);
    return summary;
}

EmulatorProcess::EmulatorProcess(const std::string& program, const fs::path& workFolder,
                                 const fs::path& deviceFolder, const std::string& link)
    : socket_(workFolder / "mux"),
      statsFile_(workFolder / "emulator.stats"),
      log_(workFolder / "emulator.log") {
    fs::remove(socket_);
    fs::remove(statsFile_);
    ChildProcess::Options options;
    options.errorFile = log_;
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{program, "--socket", socket_, "--device", deviceFolder, "--link",
                                 link, "--stats", statsFile_, "--state",
                                 workFolder / "emulator-state"},
        options);
    // The socket appears under its name once the emulator accepts connections.
    for (int attempt = 0; attempt < 100 && !fs::exists(socket_); ++attempt) {
        Interruption::check();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!fs::exists(socket_))
        throw std::runtime_error("plovik-devemu did not start; see " + log_.string());
}

EmulatorStats EmulatorProcess::stop() {
    const int exitCode = process_->terminate();
    process_.reset();
    std::ifstream in(statsFile_);
    if (exitCode != 0 || !in)
        throw std::runtime_error("plovik-devemu left no counts; see " + log_.string());
    EmulatorStats stats;
    std::string key;
    uint64_t value = 0;
    while (in >> key) {
        if (key == "afc" || key == "tls-version") {
            std::string name;
            in >> name >> value;
            (key == "afc" ? stats.afcByOperation : stats.tlsVersions)[name] = value;
            continue;
        }
        in >> value;
        if (key == "afc-connections")
            stats.afcConnections = value;
        else if (key == "afc-requests")
            stats.afcRequests = value;
        else if (key == "afc-round-trips")
            stats.afcRoundTrips = value;
        else if (key == "bytes-to-device")
            stats.bytesToDevice = value;
        else if (key == "bytes-from-device")
            stats.bytesFromDevice = value;
        else if (key == "lockdown-connections")
            stats.lockdownConnections = value;
        else if (key == "tls-handshakes")
            stats.tlsHandshakes = value;
    }
    return stats;
}
