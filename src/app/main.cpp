#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "app/cmainwindow.h"
#include "app/crashhandler.h"
#include "app/devicesoftwarecheck.h"
#include "app/log.h"
#include "app/versiontext.h"
#include "device/librarysearch.h"
#include "device/mobiledevicelibrary.h"
#include "transfer/ui/calertdialog.h"
#include "ui/layoutloader.h"
#include "ui/skin.h"

namespace {

struct Options {
    bool demo = false;
    QString screenshot;
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
    parser.addOption(demo);
    parser.addOption(screenshot);
    parser.process(app);
    return {parser.isSet(demo), parser.value(screenshot)};
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
    const Options options = parseOptions(app);

    Log::instance().open();
    const CrashHandler crashHandler(Log::instance(), "Plovik " + programVersionText());
    Skin::initialise();

    const std::string libraryFile =
        mobileDeviceLibraryFile(options.demo ? DeviceKind::Simulated : DeviceKind::Real);
    MobileDeviceLibrary::instance().setLibraryFile(libraryFile);

    LayoutLoader loader;
    CMainWindow window(loader);
    if (const QScreen* screen = window.screen()) {
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
        QTimer::singleShot(0, &window, [&] {
            if (options.demo)
                waitForSimulatedArrivals();
            const bool saved = window.grab().save(options.screenshot);
            if (!saved)
                std::fprintf(stderr, "plovik: cannot write %s\n", qPrintable(options.screenshot));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    const int result = app.exec();
    Log::instance().close();
    return result;
}
