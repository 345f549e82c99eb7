#pragma once

#include <memory>
#include <vector>

#include "device/mobiledeviceaccesslistener.h"
#include "ui/menudelegate.h"
#include "ui/skinnedwindow.h"

class AMDevice;
class LayoutLoader;
class PopupMenu;
class UpdateChecker;

/**
 * The program's one main window, built from "mainwindow.xml": the title bar, and the page
 * "No iOS Device Detected" until a device arrives. It listens to the device monitor; device
 * events reach it on the user-interface thread, in the order they happened.
 */
class CMainWindow : public SkinnedWindow, public MobileDeviceAccessListener, public MenuDelegate {
    Q_OBJECT
public:
    explicit CMainWindow(LayoutLoader& loader, QWidget* parent = nullptr);
    ~CMainWindow() override;

    /**
     * Makes this window the device monitor's listener and starts listening; when that cannot
     * start, logs "Failed to start listening: %s" and goes on without devices.
     */
    bool startDeviceListening();

    void onDeviceConnected(const std::shared_ptr<AMDevice>& device) override;
    void onDeviceDisconnected(const std::shared_ptr<AMDevice>& device) override;

    /** Runs a menu command once its menu has closed. */
    void menuItemChosen(const QString& menuFile, const QString& itemName) override;

    /** The attached devices, in arrival order. */
    const std::vector<std::shared_ptr<AMDevice>>& devices() const { return devices_; }

private:
    void runMenuCommand(const QString& itemName);
    void showPreferences();
    void checkForUpdates();

    std::vector<std::shared_ptr<AMDevice>> devices_;
    std::unique_ptr<PopupMenu> mainMenu_;
    UpdateChecker* updateChecker_ = nullptr;
};
