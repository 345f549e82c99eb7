#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QSvgRenderer>
#include <QTest>
#include <memory>

#include "app/ccapacitycontrol.h"
#include "app/devicepanel.h"
#include "support/simulateddevice.h"
#include "support/temporaryfolder.h"
#include "ui/layoutloader.h"
#include "ui/qtestsuite.h"

class DevicePanelTest : public QObject {
    Q_OBJECT
private slots:
    void taggedPartsShareTheInnerWidth();
    void untaggedPartsKeepTheOrdinaryLayout();
    void panelShowsTheDeviceValues();
    void missingValuesShowNoValue();
    void lockedDeviceKeepsNothingOfTheDeviceBefore();
    void unsoundFiguresGiveASaneBar();
    void lockedDeviceShowsTheAccessMessage();
};

namespace {

constexpr std::int64_t kGiB = std::int64_t{1} << 30;

using Values = std::map<std::string, std::string>;

// A capacity bar with two parts, as the main window's layout has it.
struct TwoPartBar {
    TwoPartBar() {
        auto* layout = new QHBoxLayout(&bar);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(used);
        layout->addWidget(free);
        bar.setContentsMargins(4, 2, 6, 3);
        bar.resize(310, 24);  // inner width 300
        bar.show();
    }
    CCapacityControlUI bar;
    QLabel* used = new QLabel(QStringLiteral("used"), &bar);
    QLabel* free = new QLabel(QStringLiteral("free"), &bar);
};

// The main window's layout with the real storage bar; the device page is shown.
class MainWindowPage {
public:
    MainWindowPage() {
        loader_.setControlFactory(QStringLiteral("CapacityControl"),
                                  [](QWidget* parent) { return new CCapacityControlUI(parent); });
        window_.reset(loader_.loadLayout(QStringLiteral("mainwindow.xml")));
        window_->resize(1000, 700);
        window_->show();
        page_ = window_->findChild<QWidget*>(QStringLiteral("pageDevice"));
        for (QWidget* shown = page_; shown->parentWidget(); shown = shown->parentWidget()) {
            if (auto* pages = qobject_cast<QStackedWidget*>(shown->parentWidget()))
                pages->setCurrentWidget(shown);
        }
    }
    QWidget* page() const { return page_; }
    QLabel* label(const char* name) const { return page_->findChild<QLabel*>(QLatin1String(name)); }
    QString text(const char* name) const { return label(name)->text(); }

private:
    LayoutLoader loader_;
    std::unique_ptr<QWidget> window_;
    QWidget* page_ = nullptr;
};

QImage rendered(const QString& picture, QSize size) {
    QSvgRenderer renderer(picture);
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

bool showsPicture(const QLabel* icon, const char* picture) {
    const QImage shown =
        icon->pixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return shown ==
           rendered(QStringLiteral(":/skin/devices/") + QLatin1String(picture), icon->size());
}

// A simulated device with battery and disk figures, which live in domains of device.plist.
std::unique_ptr<SimulatedDevice> deviceWithFigures(const TemporaryFolder& folder,
                                                   const std::string& udid) {
    folder.write("device.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>DeviceName</key><string>Panel &lt;b&gt;iPad&lt;/b&gt;</string>
<key>UniqueDeviceID</key><string>)" + udid +
                                     R"(</string>
<key>ProductType</key><string>iPad13,4</string>
<key>ProductVersion</key><string>17.4</string>
<key>FirmwareVersion</key><string>iBoot-10151.100.4</string>
<key>SerialNumber</key><string>DMPXK2ABCD</string>
<key>com.apple.mobile.battery</key><dict>
  <key>BatteryCurrentCapacity</key><integer>85</integer>
  <key>BatteryIsCharging</key><true/>
</dict>
<key>com.apple.disk_usage</key><dict>
  <key>TotalDataCapacity</key><integer>68719476736</integer>
  <key>TotalDataAvailable</key><integer>17179869184</integer>
</dict>
</dict></plist>
)");
    std::filesystem::create_directories(folder / "Media");
    return std::make_unique<SimulatedDevice>(SimulatedDevice::ExistingFolder{folder.path(), udid});
}

}  // namespace

void DevicePanelTest::taggedPartsShareTheInnerWidth() {
    TwoPartBar parts;
    parts.used->setProperty("tag", 2500);
    parts.free->setProperty("tag", 7500);
    parts.bar.relayout();
    const int top = parts.used->y();
    const int height = parts.used->height();
    QCOMPARE(parts.used->geometry(), QRect(4, top, 75, height));
    QCOMPARE(parts.free->geometry(), QRect(79, top, 225, height));

    // Rounded to the nearest pixel: 0.3333 * 300 = 99.99, 0.6667 * 300 = 200.01.
    parts.used->setProperty("tag", 3333);
    parts.free->setProperty("tag", 6667);
    parts.bar.relayout();
    QCOMPARE(parts.used->geometry(), QRect(4, top, 100, height));
    QCOMPARE(parts.free->geometry(), QRect(104, top, 200, height));

    // Neither a new size nor a text that asks the layout again undoes the shares.
    parts.bar.resize(410, 24);
    parts.used->setText(QStringLiteral("a much longer text than before"));
    QCoreApplication::processEvents();
    QCOMPARE(parts.used->geometry(), QRect(4, top, 133, height));
    QCOMPARE(parts.free->geometry(), QRect(137, top, 267, height));
}

void DevicePanelTest::untaggedPartsKeepTheOrdinaryLayout() {
    TwoPartBar parts;
    QCoreApplication::processEvents();
    const QRect ordinaryUsed = parts.used->geometry();
    const QRect ordinaryFree = parts.free->geometry();

    parts.used->setProperty("tag", 9000);
    parts.bar.relayout();
    QCOMPARE(parts.used->width(), 270);
    QCOMPARE(parts.free->geometry(), ordinaryFree);

    parts.used->setProperty("tag", 0);
    parts.bar.relayout();
    QCOMPARE(parts.used->geometry(), ordinaryUsed);
    QCOMPARE(parts.free->geometry(), ordinaryFree);
}

void DevicePanelTest::panelShowsTheDeviceValues() {
    TemporaryFolder folder;
    const std::string udid = "00008101panel0000000000000000000000000a";
    const auto simulated = deviceWithFigures(folder, udid);
    const DevicePanelFacts facts = readDevicePanelFacts(simulated->waitUntilReady());
    MainWindowPage panel;
    showDevicePanel(panel.page(), facts);

    QCOMPARE(panel.text("devicename"), QStringLiteral("Panel <b>iPad</b>"));
    QCOMPARE(panel.label("devicename")->textFormat(), Qt::PlainText);
    QCOMPARE(panel.text("serialNumber"), QStringLiteral("DMPXK2ABCD"));
    QCOMPARE(panel.text("uuid"), QString::fromStdString(udid));
    QCOMPARE(panel.text("battery"), QStringLiteral("85%"));
    QCOMPARE(panel.text("charging"), QStringLiteral("Charging"));
    QCOMPARE(panel.text("modelName"), QStringLiteral("iPad Pro (11-inch) (3rd generation)"));
    QCOMPARE(panel.label("uuid")->toolTip(), QString::fromStdString(udid));
    QCOMPARE(panel.text("iosverson"), QStringLiteral("17.4"));
    QCOMPARE(panel.text("firmware"), QStringLiteral("iBoot-10151.100.4"));
    QVERIFY(showsPicture(panel.label("deviceicon"), "ipad.svg"));

    // 48 GiB used of 64 GiB.
    const QLabel* used = panel.label("usedCapacity");
    const QLabel* free = panel.label("freeCapacity");
    const QWidget* bar = panel.page()->findChild<QWidget*>(QStringLiteral("totalCapacity"));
    QCOMPARE(used->text(), QStringLiteral("48.00 GB used"));
    QCOMPARE(free->text(), QStringLiteral("16.00 GB free"));
    QCOMPARE(panel.text("storageTotal"), QStringLiteral("64.00 GB in all"));
    QCOMPARE(used->property("tag").toInt(), 7500);
    QCOMPARE(free->property("tag").toInt(), 2500);
    QCOMPARE(used->property("userData").toString(), QStringLiteral("0.750000"));
    QCoreApplication::processEvents();
    QVERIFY(bar->isVisible() && bar->width() > 0);
    QCOMPARE(used->x(), 0);
    QCOMPARE(used->width(), static_cast<int>(bar->width() * 0.75 + 0.5));
    QCOMPARE(free->x(), used->width());
    QVERIFY(!panel.label("deviceAccessMessage")->isVisible());
}

void DevicePanelTest::missingValuesShowNoValue() {
    // No battery domain, no firmware and no disk figures; an iPod, then an unknown family.
    SimulatedDevice ipod(Values{{"ProductType", "iPod9,1"}});
    MainWindowPage panel;
    for (const char* name : {"battery", "charging", "iosverson", "firmware"})
        panel.label(name)->setText(QStringLiteral("from the device before"));
    showDevicePanel(panel.page(), readDevicePanelFacts(ipod.waitUntilReady()));
    QCOMPARE(panel.text("devicename"), QStringLiteral("Test iPhone"));
    QCOMPARE(panel.text("modelName"), QStringLiteral("iPod touch (7th generation)"));
    for (const char* name : {"battery", "charging", "firmware"})
        QCOMPARE(panel.text(name), QStringLiteral("-"));
    QVERIFY(showsPicture(panel.label("deviceicon"), "itouch.svg"));

    // A type the table does not know shows as it is.
    SimulatedDevice television(Values{{"ProductType", "AppleTV5,3"}});
    showDevicePanel(panel.page(), readDevicePanelFacts(television.waitUntilReady()));
    QCOMPARE(panel.text("modelName"), QStringLiteral("AppleTV5,3"));
    QVERIFY(showsPicture(panel.label("deviceicon"), "iphone.svg"));
}

void DevicePanelTest::lockedDeviceKeepsNothingOfTheDeviceBefore() {
    TemporaryFolder folder;
    const auto unlocked = deviceWithFigures(folder, "00008101panel0000000000000000000000000b");
    // Its serial number and firmware are given inside a session only.
    SimulatedDevice locked(Values{{"AccessState", "Locked"},
                                  {"DeviceName", "Locked Phone"},
                                  {"ProductType", "iPhone14,5"},
                                  {"ProductVersion", "17.2"},
                                  {"SerialNumber", "F2LOCKED"},
                                  {"FirmwareVersion", "iBoot-1"}});
    MainWindowPage panel;
    const auto button = [&](const char* name) {
        return panel.page()->findChild<QWidget*>(QLatin1String(name));
    };
    showDevicePanel(panel.page(), readDevicePanelFacts(unlocked->waitUntilReady()));
    QVERIFY(button("btnDetails")->isVisible() && button("btnImportPhotos")->isVisible());

    showDevicePanel(panel.page(), readDevicePanelFacts(locked.device()));
    QCOMPARE(panel.text("devicename"), QStringLiteral("Locked Phone"));
    QCOMPARE(panel.text("modelName"), QStringLiteral("iPhone 13"));
    QCOMPARE(panel.text("iosverson"), QStringLiteral("17.2"));
    QCOMPARE(panel.text("uuid"), QString::fromStdString(locked.udid()));
    QVERIFY(showsPicture(panel.label("deviceicon"), "iphone.svg"));
    for (const char* name : {"serialNumber", "battery", "charging", "firmware"}) {
        QVERIFY2(panel.text(name) == QStringLiteral("-"), name);
        QVERIFY2(panel.label(name)->toolTip().isEmpty(), name);
    }
    QVERIFY(!button("btnDetails")->isVisible() && !button("btnImportPhotos")->isVisible());
    QVERIFY(!panel.label("storageTotal")->isVisible());

    // A device that tells nothing without a session keeps nothing of the one before either.
    SimulatedDevice nameless(
        Values{{"AccessState", "Untrusted"}, {"DeviceName", ""}, {"ProductType", ""}});
    showDevicePanel(panel.page(), readDevicePanelFacts(nameless.device()));
    QCOMPARE(panel.text("devicename"), QStringLiteral("iOS Device"));
    QCOMPARE(panel.text("modelName"), QStringLiteral("-"));
    QCOMPARE(panel.text("iosverson"), QStringLiteral("-"));
}

void DevicePanelTest::unsoundFiguresGiveASaneBar() {
    MainWindowPage panel;
    const QLabel* used = panel.label("usedCapacity");
    const QLabel* free = panel.label("freeCapacity");
    const auto show = [&](std::int64_t total, std::int64_t available) {
        DevicePanelFacts facts;
        facts.totalCapacity = total;
        facts.freeCapacity = available;
        showDevicePanel(panel.page(), facts);
        QCoreApplication::processEvents();
    };

    // No total: an empty bar, without a ratio to divide by.
    show(0, 0);
    QCOMPARE(used->text(), QStringLiteral("0 used"));
    QCOMPARE(free->text(), QStringLiteral("0 free"));
    QCOMPARE(panel.text("storageTotal"), QString());
    QCOMPARE(used->property("tag").toInt(), 0);
    QCOMPARE(free->property("tag").toInt(), 0);
    QVERIFY(used->isHidden() && free->isHidden());

    // More free than total: nothing used, the free part fills the bar.
    show(10 * kGiB, 12 * kGiB);
    QCOMPARE(used->text(), QStringLiteral("0 used"));
    QCOMPARE(free->text(), QStringLiteral("10.00 GB free"));
    QVERIFY(used->isHidden());
    QCOMPARE(free->property("tag").toInt(), 10000);
    QCOMPARE(free->x(), 0);
    QCOMPARE(free->width(), free->parentWidget()->width());

    // Negative free space counts as none; a sound device afterwards shows both parts again.
    show(10 * kGiB, -5);
    QCOMPARE(used->text(), QStringLiteral("10.00 GB used"));
    QVERIFY(free->isHidden() && !used->isHidden());
    show(8 * kGiB, 2 * kGiB);
    QVERIFY(!used->isHidden() && !free->isHidden());
    QCOMPARE(used->property("tag").toInt(), 7500);
}

void DevicePanelTest::lockedDeviceShowsTheAccessMessage() {
    SimulatedDevice locked(Values{{"AccessState", "Locked"}});
    const DevicePanelFacts facts = readDevicePanelFacts(locked.device());
    QVERIFY(!facts.ready);
    QCOMPARE(facts.totalCapacity, std::int64_t{0});
    MainWindowPage panel;
    const QWidget* bar = panel.page()->findChild<QWidget*>(QStringLiteral("totalCapacity"));
    showDevicePanel(panel.page(), facts);
    QCOMPARE(panel.text("uuid"), QString::fromStdString(locked.udid()));
    QVERIFY(panel.label("deviceAccessMessage")->isVisible());
    QCOMPARE(panel.text("deviceAccessMessage"),
             QStringLiteral("The device is locked: unlock it with its passcode"));
    QVERIFY(!bar->isVisible());

    // Each reason has its own words; waiting for Trust keeps the layout's text.
    DevicePanelFacts notReady;
    notReady.ready = false;
    for (const auto& [access, start] :
         {std::pair{kAMDeviceAccessUntrusted, "Unlock the device and tap Trust"},
          std::pair{kAMDeviceAccessDenied, "The device does not trust this computer"},
          std::pair{kAMDeviceAccessConnecting, "Connecting to the device"}}) {
        notReady.access = access;
        showDevicePanel(panel.page(), notReady);
        QVERIFY2(panel.text("deviceAccessMessage").startsWith(QLatin1String(start)), start);
    }

    DevicePanelFacts ready;
    ready.totalCapacity = kGiB;
    showDevicePanel(panel.page(), ready);
    QVERIFY(!panel.label("deviceAccessMessage")->isVisible());
    QVERIFY(bar->isVisible());
}

PLOVIK_QTEST(DevicePanelTest)
#include "devicepanel_test.moc"
