#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "fstree/devicefilesystemnode.h"

class AMDevice;
class AttachedDevices;

/** What the global options ask of the devices. */
struct SessionOptions {
    bool demo = false;
    std::vector<std::string> simulatedFolders;
    std::string udid;
};

/**
 * The devices of one run: loads the MobileDevice library the options call for, attaches the
 * simulated devices, listens, and waits (bounded) for the arrivals before a command looks.
 * Throws CommandFailure when the library cannot be used.
 */
class DeviceSession {
public:
    explicit DeviceSession(const SessionOptions& options);

    /** Every attached device, locked and untrusted ones too, in arrival order. */
    std::vector<AMDevice*> devices() const;
    /**
     * The device to work on: the one --device names, else the only one attached. Throws
     * CommandFailure when there is none, several, or it does not allow a session.
     */
    AMDevice& chosenDevice();
    /** The tree of the chosen device, built on first use. */
    std::shared_ptr<ZelboLib::DeviceFileSystemNode> deviceNode();

private:
    void attachSimulatedDevices(const std::vector<std::string>& folders);
    void waitForRealDevices();
    /**
     * Until as many devices as the library says it announces have come, or, where it cannot say,
     * until none came for a moment (bounded); how many were seen at once.
     */
    size_t waitForArrivals();
    /** Until the device --device names has arrived and is no longer connecting (bounded). */
    void waitForNamedDevice();

    AttachedDevices& attached_;
    std::string udid_;
    std::shared_ptr<ZelboLib::DeviceFileSystemNode> deviceNode_;
};
