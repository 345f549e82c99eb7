#include <dlfcn.h>

#include <QTest>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string_view>

#include "app/mainwindowharness.h"
#include "device/mobiledevice.h"
#include "device/mobiledevicelibrary.h"
#include "temporarysettings.h"

// A large folder in the main window: its rows before their information, filled in as it arrives
// from a device slow to give it, and nothing of it once another folder is shown or the device is
// gone.

namespace {

/**
 * Holds the information streams for the entries of /Big past the first one (the one that comes
 * with the names) until released: a device slow to answer. Installed as the library's resolver
 * while it lives; released when it goes.
 */
class SlowInformation {
public:
    SlowInformation() {
        library_ = dlopen(PLOVIK_SIM_LIBRARY, RTLD_NOW);
        instance_ = this;
        MobileDeviceLibrary::instance().setResolver([this](const char* name) -> void* {
            if (std::strcmp(name, "AFCFileInfoStream") == 0)
                return reinterpret_cast<void*>(&heldStream);
            return dlsym(library_, name);
        });
    }
    ~SlowInformation() {
        release();
        MobileDeviceLibrary::instance().setResolver({});
        instance_ = nullptr;
    }
    SlowInformation(const SlowInformation&) = delete;
    SlowInformation& operator=(const SlowInformation&) = delete;

    void release() {
        const std::lock_guard lock(mutex_);
        held_ = false;
        released_.notify_all();
    }

private:
    static int heldStream(AFCConnectionRef connection, const char* const* paths, size_t count,
                          AFCFileInfoHandler handler, void* context) {
        SlowInformation& self = *instance_;
        if (count > 0 && std::string_view(paths[0]).starts_with("/Big/") &&
            std::string_view(paths[0]) != "/Big/f000") {
            std::unique_lock lock(self.mutex_);
            self.released_.wait(lock, [&] { return !self.held_; });
        }
        const auto real =
            reinterpret_cast<decltype(&heldStream)>(dlsym(self.library_, "AFCFileInfoStream"));
        return real(connection, paths, count, handler, context);
    }

    static inline SlowInformation* instance_ = nullptr;
    void* library_ = nullptr;
    std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = true;
};

constexpr int kFiles = 600;

/** Media/Big: files f000 … f599 of 10 bytes, then the folder zzz, in device order. */
void makeBigFolder(const TestDevice& device) {
    const fs::path big = fs::path(device.path()) / "Media/Big";
    for (int index = 0; index < kFiles; ++index) {
        char name[8];
        std::snprintf(name, sizeof name, "f%03d", index);
        writeFile(big / name, std::string(10, 'x'));
    }
    fs::create_directories(big / "zzz");
}

int rowNamed(Window& shown, const QString& name) {
    for (int row = 0; row < shown.list()->itemCount(); ++row) {
        if (shown.window.fileList().text(row, 0) == name)
            return row;
    }
    return -1;
}

}  // namespace

class MainWindowListingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_SIM_LIBRARY); }

    void rowsShowBeforeTheirInformationWhichFillsInAndSettlesTheOrder() {
        const TemporarySettings settings;
        Window shown;
        TestDevice device("Big Phone", "aaaa000000000000000000000000000000000101");
        makeBigFolder(device);
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        SlowInformation slow;
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Big")));

        QCOMPARE(shown.list()->itemCount(), kFiles + 1);
        QVERIFY(shown.window.isFillingListing());
        QCOMPARE(shown.window.fileList().text(rowNamed(shown, QStringLiteral("f000")), 1),
                 QStringLiteral("10 bytes"));
        // Past the first entries, a name alone; the folder counts as a file until known.
        const int late = rowNamed(shown, QStringLiteral("f599"));
        QVERIFY(late > 0);
        QCOMPARE(shown.window.fileList().text(late, 1), QString());
        QVERIFY(!shown.window.fileList().isFolder(late));
        QCOMPARE(rowNamed(shown, QStringLiteral("zzz")), kFiles);
        const int chosen = rowNamed(shown, QStringLiteral("f300"));
        shown.list()->selectItem(chosen);

        slow.release();
        QTRY_VERIFY(!shown.window.isFillingListing());
        QCOMPARE(shown.window.fileList().text(rowNamed(shown, QStringLiteral("f599")), 1),
                 QStringLiteral("10 bytes"));
        // Folders first now, and the selection stayed with its entry.
        QCOMPARE(rowNamed(shown, QStringLiteral("zzz")), 0);
        QVERIFY(shown.window.fileList().isFolder(0));
        const QList<int> selected = shown.list()->selectedItems();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(shown.window.fileList().text(selected.front(), 0), QStringLiteral("f300"));
        QCOMPARE(selected.front(), chosen + 1);
        QVERIFY(shown.status().contains(QStringLiteral("10 bytes")));
    }

    void aFolderLeftOrADeviceUnpluggedMidFetchKeepsNothingStale() {
        const TemporarySettings settings;
        Window shown;
        TestDevice device("Left Phone", "aaaa000000000000000000000000000000000102");
        makeBigFolder(device);
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        {
            SlowInformation slow;
            QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Big")));
            QVERIFY(shown.window.isFillingListing());
            QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM")));
            QVERIFY(!shown.window.isFillingListing());
            slow.release();
            QTest::qWait(200);
            QCOMPARE(shown.list()->itemCount(), 1);
            QCOMPARE(shown.window.fileList().text(0, 0), QStringLiteral("100APPLE"));
            QVERIFY(shown.window.fileList().isFolder(0));
        }

        SlowInformation slow;
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Big")));
        QVERIFY(shown.window.isFillingListing());
        device.unplug();
        QTRY_VERIFY(shown.window.devices().empty());
        QVERIFY(!shown.window.isFillingListing());
        slow.release();
        QTest::qWait(200);
        QCOMPARE(shown.page("mainSwitch"), QStringLiteral("pageNoDevice"));
        QVERIFY(!shown.list()->isVisible());
        QCOMPARE(shown.window.fileList().text(0, 0), QString());
    }
};

QTEST_MAIN(MainWindowListingTest)
#include "mainwindowlisting_test.moc"
