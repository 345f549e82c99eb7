#include "app/devicepanel.h"

#include <algorithm>

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "app/ccapacitycontrol.h"
#include "app/qtextconversion.h"
#include "device/devicemodelnames.h"
#include "ui/controls.h"
#include "values/bytesize.h"
#include "values/cbool.h"
#include "values/nsdictionary.h"

namespace {

constexpr float kWholeBar = 10000.0f;
const QString kNoValue = QStringLiteral("-");

std::optional<QString> snapshotText(const ZelboLib::NSDictionary& information,
                                    const char16_t* key) {
    if (const ZelboLib::Object* value = information.objectForKey(key))
        return toQString(value->description());
    return std::nullopt;
}

std::optional<QString> chargingText(const ZelboLib::NSDictionary& information) {
    const ZelboLib::Object* value = information.objectForKey(u"BatteryIsCharging");
    if (!value)
        return std::nullopt;
    if (value->typeCode() != ZelboLib::kTypeBool)
        return toQString(value->description());
    return static_cast<const ZelboLib::CBool&>(*value).value() ? QStringLiteral("Charging")
                                                               : QStringLiteral("Not charging");
}

QString modelText(const CZelboString& productType) {
    const QString type = toQString(productType);
    const std::string_view name = deviceModelName(type.toStdString());
    return name.empty() ? type
                        : QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// Device values are shown as they are, never read as markup; the tool tip holds a text cut short.
void showText(const QWidget* page, const char* name, const QString& text) {
    if (auto* label = Controls::find<QLabel>(page, QLatin1String(name))) {
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
        label->setToolTip(text == kNoValue ? QString() : text);
    }
}

void showText(const QWidget* page, const char* name, const std::optional<QString>& text) {
    showText(page, name, text && !text->isEmpty() ? *text : kNoValue);
}

QString accessMessage(AMDeviceAccessState access) {
    switch (access) {
        case kAMDeviceAccessLocked:
            return QStringLiteral("The device is locked: unlock it with its passcode");
        case kAMDeviceAccessDenied:
            return QStringLiteral(
                "The device does not trust this computer: unplug it, plug it in again and tap "
                "Trust");
        case kAMDeviceAccessConnecting:
            return QStringLiteral("Connecting to the device...");
        case kAMDeviceAccessReady:
        case kAMDeviceAccessUntrusted:
            break;
    }
    return QStringLiteral("Unlock the device and tap Trust");
}

QString picturePath(AMDevice::Family family) {
    switch (family) {
        case AMDevice::Family::iPodTouch:
            return QStringLiteral(":/skin/devices/itouch.svg");
        case AMDevice::Family::iPad:
            return QStringLiteral(":/skin/devices/ipad.svg");
        default:
            return QStringLiteral(":/skin/devices/iphone.svg");
    }
}

void showPicture(const QWidget* page, AMDevice::Family family) {
    auto* icon = Controls::find<QLabel>(page, QStringLiteral("deviceicon"));
    if (!icon)
        return;
    QSvgRenderer renderer(picturePath(family));
    if (!renderer.isValid())
        return;
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    const QSize size = icon->size().isEmpty() ? renderer.defaultSize() : icon->size();
    const qreal scale = icon->devicePixelRatioF();
    QPixmap picture(size * scale);
    picture.setDevicePixelRatio(scale);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    painter.end();
    icon->setPixmap(picture);
}

// A part whose share rounds to nothing is hidden: with tag 0 it would keep its ordinary place and
// show through the other part.
void showPart(const QWidget* page, const char* name, int tag, const QString& text) {
    auto* part = Controls::find<QLabel>(page, QLatin1String(name));
    if (!part)
        return;
    part->setProperty("tag", tag);
    part->setText(text);
    part->setToolTip(text);
    part->setVisible(tag != 0);
}

void showStorage(const QWidget* page, const DevicePanelFacts& facts) {
    auto* bar = Controls::find(page, QStringLiteral("totalCapacity"));
    if (!bar)
        return;
    // A device that reports no total, or more free space than it has, gives no sound ratio: the
    // figures are kept within 0 <= free <= total, and a bar without a total stays empty.
    const std::int64_t total = std::max<std::int64_t>(facts.totalCapacity, 0);
    const std::int64_t free = std::clamp<std::int64_t>(facts.freeCapacity, 0, total);
    const std::int64_t used = total - free;
    const float ratio =
        total > 0 ? static_cast<float>(static_cast<double>(used) / static_cast<double>(total))
                  : 0.0f;
    const int usedTag = static_cast<int>(ratio * kWholeBar);
    const int freeTag = total > 0 ? static_cast<int>((1.0f - ratio) * kWholeBar) : 0;

    showPart(page, "usedCapacity", usedTag,
             toQString(formatByteSize(used)) + QStringLiteral(" used"));
    showPart(page, "freeCapacity", freeTag,
             toQString(formatByteSize(free)) + QStringLiteral(" free"));
    if (auto* sum = Controls::find<QLabel>(page, QStringLiteral("storageTotal")))
        sum->setText(total > 0 ? toQString(formatByteSize(total)) + QStringLiteral(" in all")
                               : QString());
    if (auto* usedPart = Controls::find(page, QStringLiteral("usedCapacity")))
        usedPart->setProperty("userData", QString::asprintf("%f", static_cast<double>(ratio)));
    if (auto* capacity = qobject_cast<CCapacityControlUI*>(bar))
        capacity->relayout();
}

}  // namespace

DevicePanelFacts readDevicePanelFacts(AMDevice& device) {
    DevicePanelFacts facts;
    facts.name = toQString(device.name());
    facts.identifier = toQString(device.uniqueDeviceID());
    facts.access = device.accessState();
    facts.ready = facts.access == kAMDeviceAccessReady;
    // A locked or untrusted device refuses sessions: its snapshot holds only what it tells
    // without one, and asking it for more would only fail.
    const ZelboLib::NSDictionary& information = device.information();
    if (const CZelboString type = device.productType(); !type.isEmpty())
        facts.model = modelText(type);
    facts.productVersion = snapshotText(information, u"ProductVersion");
    facts.family = device.deviceFamily();
    if (!facts.ready)
        return facts;
    facts.serialNumber = toQString(device.serialNumber());
    if (auto capacity = snapshotText(information, u"BatteryCurrentCapacity"))
        facts.battery = *capacity + QLatin1Char('%');
    facts.charging = chargingText(information);
    facts.firmwareVersion = snapshotText(information, u"FirmwareVersion");
    facts.totalCapacity = device.totalDataCapacity();
    facts.freeCapacity = device.totalDataAvailable();
    return facts;
}

void showDevicePanel(QWidget* page, const DevicePanelFacts& facts) {
    if (!page)
        return;
    // A device that allows no session may not tell its name.
    showText(page, "devicename", facts.name.isEmpty() ? QStringLiteral("iOS Device") : facts.name);
    showText(page, "modelName", facts.model);
    showText(page, "serialNumber", std::optional(facts.serialNumber));
    showText(page, "uuid", std::optional(facts.identifier));
    showText(page, "battery", facts.battery);
    showText(page, "charging", facts.charging);
    showText(page, "iosverson", facts.productVersion);
    showText(page, "firmware", facts.firmwareVersion);
    showPicture(page, facts.family);

    if (!facts.ready)
        showText(page, "deviceAccessMessage", accessMessage(facts.access));
    Controls::setVisible(page, QStringLiteral("deviceAccessMessage"), !facts.ready);
    // A device that refuses sessions has no details to show and no photos to give.
    Controls::setVisible(page, QStringLiteral("btnDetails"), facts.ready);
    Controls::setVisible(page, QStringLiteral("btnImportPhotos"), facts.ready);
    Controls::setVisible(page, QStringLiteral("totalCapacity"), facts.ready);
    Controls::setVisible(page, QStringLiteral("storageCaption"), facts.ready);
    Controls::setVisible(page, QStringLiteral("storageTotal"), facts.ready);
    if (facts.ready)
        showStorage(page, facts);
}
