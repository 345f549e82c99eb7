#pragma once

#include <memory>

#include "device/amdevice.h"
#include "fstree/devicefilesystemnode.h"
#include "support/simulateddevice.h"

/**
 * The device node of a simulated device, as the main window builds it on arrival. The device
 * object stays with the arrival collector of the test support, which keeps it to the process's
 * end, so the node shares it without owning it.
 */
inline std::shared_ptr<ZelboLib::DeviceFileSystemNode> deviceNodeOf(SimulatedDevice& simulated) {
    return ZelboLib::DeviceFileSystemNode::create(
        std::shared_ptr<AMDevice>(&simulated.device(), [](AMDevice*) {}));
}

/** Makes the simulator's entry point fail with result; 0 clears the fault. */
inline void setSimulatorFault(const char* entryPoint, int result) {
    const auto setFault = reinterpret_cast<int (*)(const char*, int)>(
        SimulatedDevice::simulatorEntry("PlovikSimSetFault"));
    ASSERT_NE(setFault, nullptr);
    setFault(entryPoint, result);
}
