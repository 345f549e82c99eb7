#pragma once

#include <plist/plist.h>

#include <QAbstractItemView>
#include <QLabel>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/clistviewcontrol.h"
#include "app/cmainwindow.h"
#include "app/devicetreecontrol.h"
#include "app/filelistsource.h"
#include "app/mainwindowmenus.h"
#include "app/qtextconversion.h"
#include "device/mobiledevicelibrary.h"
#include "fstree/filesystemnode.h"
#include "ui/layoutloader.h"

// The main window against the simulator library: a device folder to plug in, and the window with
// its tree, list and pages at hand. Header-only, for the tests of the main window.

namespace fs = std::filesystem;

namespace mainwindowharness {

template <typename Function>
Function* simulator(const char* name) {
    return reinterpret_cast<Function*>(MobileDeviceLibrary::instance().entryPoint(name));
}

inline void flushNotifications() {
    simulator<int()>("PlovikSimFlushNotifications")();
}

/** The number of entries in folder; 0 when it does not exist. */
inline int entryCount(const fs::path& folder) {
    if (!fs::exists(folder))
        return 0;
    return static_cast<int>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

/**
 * Holds the simulator's file operations of the mask (PlovikSimFileOperations) while it lives, or
 * until release; any thread may release.
 */
class StalledFileOperations {
public:
    explicit StalledFileOperations(int operations) { set(operations); }
    ~StalledFileOperations() { release(); }
    StalledFileOperations(const StalledFileOperations&) = delete;
    StalledFileOperations& operator=(const StalledFileOperations&) = delete;
    void release() { set(0); }

private:
    static void set(int operations) {
        simulator<int(int)>("PlovikSimStallFileOperations")(operations);
    }
};

inline void writeFile(const fs::path& file, const std::string& contents) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << contents;
}

/**
 * A simulated device folder: Media with DCIM/100APPLE (two photos), Books (empty) and a note;
 * Root with a folder; one app whose container holds Documents. Attached while it lives.
 */
class TestDevice {
public:
    TestDevice(const char* name, const char* udid, const char* accessState = "Ready")
        : udid_(udid) {
        const fs::path path = folder_.path().toStdString();
        plist_t values = plist_new_dict();
        plist_dict_set_item(values, "AccessState", plist_new_string(accessState));
        plist_dict_set_item(values, "DeviceName", plist_new_string(name));
        plist_dict_set_item(values, "UniqueDeviceID", plist_new_string(udid));
        plist_dict_set_item(values, "ProductType", plist_new_string("iPhone14,2"));
        plist_dict_set_item(values, "ProductVersion", plist_new_string("17.1"));
        writePlist(path / "device.plist", values);
        writeFile(path / "Media/DCIM/100APPLE/IMG_0001.JPG", std::string(2048, 'j'));
        writeFile(path / "Media/DCIM/100APPLE/IMG_0002.JPG", std::string(4096, 'j'));
        fs::create_directories(path / "Media/Books");
        writeFile(path / "Media/note.txt", "hello");
        fs::create_directories(path / "Root/private");
        plist_t app = plist_new_dict();
        plist_dict_set_item(app, "CFBundleIdentifier", plist_new_string("com.example.notes"));
        plist_dict_set_item(app, "CFBundleDisplayName", plist_new_string("Notes"));
        writePlist(path / "Apps/com.example.notes/Info.plist", app);
        fs::create_directories(path / "Apps/com.example.notes/Container/Documents");
    }
    ~TestDevice() { unplug(); }

    void plug() {
        QCOMPARE(simulator<int(const char*)>("PlovikSimAttach")(path().c_str()), 0);
        attached_ = true;
        flushNotifications();
    }
    void unplug() {
        if (!attached_)
            return;
        simulator<int(const char*)>("PlovikSimDetach")(udid_.c_str());
        attached_ = false;
        flushNotifications();
    }
    std::string path() const { return folder_.path().toStdString(); }
    const std::string& udid() const { return udid_; }

private:
    static void writePlist(const fs::path& file, plist_t values) {
        char* xml = nullptr;
        uint32_t length = 0;
        plist_to_xml(values, &xml, &length);
        writeFile(file, std::string(xml, length));
        free(xml);
        plist_free(values);
    }

    QTemporaryDir folder_;
    std::string udid_;
    bool attached_ = false;
};

/** The main window listening to the simulator, with its tree, list and pages at hand. */
struct Window {
    LayoutLoader loader;
    CMainWindow window{loader};

    Window() {
        window.resize(1000, 700);
        window.show();
        window.startDeviceListening();
    }

    DeviceTreeControl* tree() const {
        return window.findChild<DeviceTreeControl*>(QStringLiteral("fileTreeview"));
    }
    CListviewControl* list() const {
        return window.findChild<CListviewControl*>(QStringLiteral("fileListview"));
    }
    QString page(const char* switchName) const {
        auto* pages = window.findChild<QStackedWidget*>(QLatin1String(switchName));
        return pages ? pages->currentWidget()->objectName() : QString();
    }
    QString status() const {
        return window.findChild<QLabel*>(QStringLiteral("statusBar"))->text();
    }
    QString shownPath() const {
        return window.currentNode() ? toQString(window.currentNode()->displayPath()) : QString();
    }
    bool enabled(const char* button) const {
        return window.findChild<QWidget*>(QLatin1String(button))->isEnabled();
    }
    /** The "Applications" row of the first device, or null. */
    DeviceTreeRow* appsRow() const {
        for (const auto& area : tree()->deviceRows().at(0)->children) {
            if (!area->node->isInsideArea())
                return area.get();
        }
        return nullptr;
    }
};

}  // namespace mainwindowharness

using namespace mainwindowharness;
