#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QIcon>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>

#include "app/cmainwindow.h"
#include "app/crashhandler.h"
#include "app/devicesoftwarecheck.h"
#include "app/log.h"
#include "app/versiontext.h"
#include "app/viewstyle.h"
#include "app/windowlayoutmemory.h"
#include "device/amdevice.h"
#include "device/librarysearch.h"
#include "device/mobiledevicelibrary.h"
#include "fstree/devicefilesystemnode.h"
#include "transfer/ui/calertdialog.h"
#include "ui/layoutloader.h"
#include "ui/skin.h"

namespace {

struct Options {
    bool demo = false;
    QString screenshot;
    QString open;
    std::optional<ViewStyle> viewStyle;
};

Options parseOptions(const QApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A file manager for iPhone, iPad and iPod touch attached over USB."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Show the demo device instead of real devices."));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the main window once it has started, then quit."),
        QStringLiteral("file"));
    const QCommandLineOption open(
        QStringLiteral("open"),
        QStringLiteral("With --screenshot: show this folder of the first device first "
                       "(\"/Media/DCIM/100APPLE\")."),
        QStringLiteral("path"));
    const QCommandLineOption viewStyle(
        QStringLiteral("view-style"),
        QStringLiteral("With --screenshot: show the file list in this style (1 Details, 2 Small "
                       "Icons, 3 Large Icons, 4 List, 5 Tiles, 6 Extra Large Icons)."),
        QStringLiteral("code"));
    parser.addOption(demo);
    parser.addOption(screenshot);
    parser.addOption(open);
    parser.addOption(viewStyle);
    parser.process(app);
    Options options{parser.isSet(demo), parser.value(screenshot), parser.value(open), {}};
    if (parser.isSet(viewStyle)) {
        options.viewStyle = viewStyleFromCode(parser.value(viewStyle).toUInt());
        if (!options.viewStyle) {
            std::fprintf(stderr, "plovik: --view-style takes a code from 1 to 6\n");
            std::exit(2);
        }
    }
    return options;
}

// The simulator's control calls, looked up by name in the loaded library like every entry point.
bool attachDemoDevice() {
    using Attach = int(const char*);
    auto* attach =
        reinterpret_cast<Attach*>(MobileDeviceLibrary::instance().entryPoint("PlovikSimAttach"));
    return attach != nullptr && attach(demoDeviceFolder().c_str()) == 0;
}

void waitForSimulatedArrivals() {
    using Flush = int();
    if (auto* flush = reinterpret_cast<Flush*>(
            MobileDeviceLibrary::instance().entryPoint("PlovikSimFlushNotifications"))) {
        flush();
    }
    QCoreApplication::processEvents();
}

// Handles events until done() holds or milliseconds have passed; whether it holds.
template <typename Condition>
bool waitUntil(Condition done, int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

// Arrivals are queued to this thread; a loaded machine may take a moment to deliver them, and a
// real device first pairs and opens its TLS session, or finds out that it is locked.
constexpr int kFirstAnnouncementWait = 2000;
constexpr int kArrivalWait = 30000;

bool anyDeviceIn(const CMainWindow& window, const std::function<bool(AMDeviceAccessState)>& is) {
    return std::any_of(window.devices().begin(), window.devices().end(),
                       [&](const auto& node) { return is(node->device()->accessState()); });
}

// Brings the window to the page the screenshot options ask for; false when it cannot.
bool prepareScreenshot(CMainWindow& window, const Options& options) {
    if (options.viewStyle)
        window.showViewStyle(*options.viewStyle);
    if (options.open.isEmpty()) {
        // The devices attached are shown once the library knows whether each allows a session.
        waitUntil([&window] { return !window.devices().empty(); }, kFirstAnnouncementWait);
        waitUntil(
            [&window] {
                return !anyDeviceIn(window, [](AMDeviceAccessState state) {
                    return state == kAMDeviceAccessConnecting;
                });
            },
            kArrivalWait);
        return true;
    }
    const auto anyReady = [&window] {
        return anyDeviceIn(window,
                           [](AMDeviceAccessState state) { return state == kAMDeviceAccessReady; });
    };
    if (!waitUntil(anyReady, kArrivalWait)) {
        std::fprintf(stderr, "plovik: no device arrived\n");
        return false;
    }
    if (!window.openDevicePath(options.open)) {
        std::fprintf(stderr, "plovik: no folder %s on the first device\n",
                     qPrintable(options.open));
        return false;
    }
    // Thumbnails of the folder shown are made meanwhile.
    const QDeadlineTimer thumbnails(1000);
    while (!thumbnails.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return true;
}

// Shows the page asked for and writes the window's picture; false when either cannot be done.
bool takeScreenshot(CMainWindow& window, const Options& options) {
    QCoreApplication::processEvents();
    if (options.demo)
        waitForSimulatedArrivals();
    if (!prepareScreenshot(window, options))
        return false;
    QCoreApplication::processEvents();
    if (!window.grab().save(options.screenshot)) {
        std::fprintf(stderr, "plovik: cannot write %s\n", qPrintable(options.screenshot));
        return false;
    }
    return true;
}

// File-type icons also where the desktop names no icon theme of its own (and offscreen): the
// system's themes are searched, and Adwaita stands in for a theme or behind the one named.
void useSystemIconThemes() {
    QStringList paths = QIcon::themeSearchPaths();
    const QStringList systemPaths =
        QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                  QStandardPaths::LocateDirectory);
    for (const QString& path : systemPaths) {
        if (!paths.contains(path))
            paths.append(path);
    }
    QIcon::setThemeSearchPaths(paths);
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

void warnWhenDeviceSoftwareIsMissing(QWidget* window, const std::string& libraryFile) {
    const DeviceSoftwareCheck check = DeviceSoftwareCheck::run(QString::fromStdString(libraryFile));
    if (check.isComplete())
        return;
    AlertRequest request;
    request.title = QStringLiteral("Warning");
    request.info = check.headline();
    request.message = check.text();
    request.icon = QStringLiteral("icons\\info60.png");
    request.okText = QStringLiteral("Close");
    CAlertDialog::showAlert(window, request);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Plovik"));
    QCoreApplication::setApplicationVersion(QString::fromStdString(programVersionText()));
    // The installed desktop file's name; on X11 the window's class is the application name,
    // which the desktop file's StartupWMClass names.
    QGuiApplication::setDesktopFileName(QStringLiteral(PLOVIK_APP_ID));
    const Options options = parseOptions(app);

    Log::instance().open();
    const CrashHandler crashHandler(Log::instance(), "Plovik " + programVersionText());
    Skin::initialise();
    useSystemIconThemes();
    QApplication::setWindowIcon(QIcon(Skin::imagePath(QStringLiteral("logo.svg"))));

    const std::string libraryFile =
        mobileDeviceLibraryFile(options.demo ? DeviceKind::Simulated : DeviceKind::Real);
    MobileDeviceLibrary::instance().setLibraryFile(libraryFile);

    LayoutLoader loader;
    CMainWindow window(loader);
    if (!WindowLayoutMemory::restore(window)) {
        if (const QScreen* screen = window.screen())
            window.move(screen->availableGeometry().center() - window.rect().center());
    }
    window.show();
    window.startDeviceListening();

    if (options.demo) {
        if (!attachDemoDevice()) {
            std::fprintf(stderr, "plovik: the demo device could not be attached\n");
        }
    } else if (options.screenshot.isEmpty()) {
        QTimer::singleShot(0, &window,
                           [&] { warnWhenDeviceSoftwareIsMissing(&window, libraryFile); });
    }

    if (!options.screenshot.isEmpty()) {
        // Run here rather than from the event loop: a timer's callback could fire inside a device
        // step's nested loop, where the window is half-way through listing the device.
        const int result = takeScreenshot(window, options) ? 0 : 1;
        window.shutdownTransfers();
        Log::instance().close();
        return result;
    }
    const int result = app.exec();
    WindowLayoutMemory::save(window);
    window.shutdownTransfers();
    Log::instance().close();
    return result;
}
