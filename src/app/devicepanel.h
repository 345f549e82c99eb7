#pragma once

#include <cstdint>
#include <optional>

#include <QString>

#include "device/amdevice.h"

class QWidget;

/**
 * What the device panel shows of a device, read in one go (the disk figures are requests to the
 * device, so readDevicePanelFacts runs on a worker); values the device did not give are empty.
 */
struct DevicePanelFacts {
    QString name;
    QString serialNumber;
    QString identifier;
    std::optional<QString> model;            // marketing name of "ProductType", else the type
    std::optional<QString> battery;          // "BatteryCurrentCapacity" with "%"
    std::optional<QString> charging;         // "Charging" or "Not charging"
    std::optional<QString> productVersion;   // "ProductVersion"
    std::optional<QString> firmwareVersion;  // "FirmwareVersion"
    AMDevice::Family family = AMDevice::Family::Unknown;
    std::int64_t totalCapacity = 0;
    std::int64_t freeCapacity = 0;
    /** False while the device is connecting, locked or does not trust this computer yet. */
    bool ready = true;
    /** Why it is not ready. */
    AMDeviceAccessState access = kAMDeviceAccessReady;
};

/** Reads the panel's facts (may talk to the device). */
DevicePanelFacts readDevicePanelFacts(AMDevice& device);

/**
 * Fills the device panel below page with facts: labels that the facts lack show "-", so nothing of
 * a device shown before stays; the storage bar ("totalCapacity" with "usedCapacity" and
 * "freeCapacity", the total in "storageTotal") lays out by its parts' tags.
 * A device that is not ready says why: "Unlock the device and tap Trust" while the Trust dialog
 * waits, its own message when it is locked, refused trust or is still connecting. GUI thread.
 */
void showDevicePanel(QWidget* page, const DevicePanelFacts& facts);
