#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "app/cdetailsdialog.h"
#include "ui/qtestsuite.h"
#include "values/cautostring.h"
#include "values/cbool.h"
#include "values/cint64.h"
#include "values/nsarray.h"

using ZelboLib::CAutoString;
using ZelboLib::NSDictionary;

class CDetailsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void rowsFollowAllKeysWithAlternateBackgrounds();
    void withoutAllKeysThereAreNoRows();
    void longKeysAndValuesFitWithoutScrolling();
    void copyPutsOneLinePerKeyOnTheClipboard();
    void bothCloseButtonsClose_data();
    void bothCloseButtonsClose();
};

namespace {

const QString kAlternateBackground = QStringLiteral("background: #F4F6F9;");

// A snapshot as the device makes it: "allKeys" in reading order, which is not the key order.
void fillSnapshot(NSDictionary& information) {
    auto* allKeys = new ZelboLib::NSArray(true);
    const auto add = [&](const char16_t* key, ZelboLib::Object* value) {
        information.setObjectForKey(key, value);
        allKeys->addObject(new CAutoString(key));
    };
    add(u"DeviceName", new CAutoString(u"Desk <i>iPhone</i>"));
    add(u"ProductVersion", new CAutoString(u"17.4"));
    add(u"BatteryIsCharging", new ZelboLib::CBool(false));
    add(u"BatteryCurrentCapacity", new ZelboLib::CInt64(42));
    add(u"ActivationState", new CAutoString(u"Activated"));
    information.setObjectForKey(u"allKeys", allKeys);
}

QLabel* rowLabel(const QListWidget* list, int row, const char* name) {
    return list->itemWidget(list->item(row))->findChild<QLabel*>(QLatin1String(name));
}

}  // namespace

void CDetailsDialogTest::rowsFollowAllKeysWithAlternateBackgrounds() {
    NSDictionary information(true);
    fillSnapshot(information);
    information.setObjectForKey(u"NotListed", new CAutoString(u"hidden"));
    CDetailsDialog dialog(nullptr, information);
    QCOMPARE(dialog.size(), QSize(493, 500));
    QCOMPARE(dialog.objectName(), QStringLiteral("DetailsWindow"));

    const auto* list = dialog.findChild<QListWidget*>(QStringLiteral("details"));
    QCOMPARE(list->count(), 5);
    const QStringList titles = {"DeviceName", "ProductVersion", "BatteryIsCharging",
                                "BatteryCurrentCapacity", "ActivationState"};
    const QStringList values = {"Desk <i>iPhone</i>", "17.4", "False", "42", "Activated"};
    for (int row = 0; row < list->count(); ++row) {
        QCOMPARE(rowLabel(list, row, "title")->text(), titles[row]);
        QCOMPARE(rowLabel(list, row, "value")->text(), values[row]);
        QCOMPARE(rowLabel(list, row, "value")->textFormat(), Qt::PlainText);
        QCOMPARE(list->item(row)->sizeHint().height(), 22);
        QCOMPARE(list->itemWidget(list->item(row))->styleSheet(),
                 row % 2 == 1 ? kAlternateBackground : QString());
    }
}

void CDetailsDialogTest::withoutAllKeysThereAreNoRows() {
    NSDictionary information(true);
    information.setObjectForKey(u"DeviceName", new CAutoString(u"Phone"));
    information.setObjectForKey(u"allKeys", new CAutoString(u"not a list"));
    CDetailsDialog dialog(nullptr, information);
    QCOMPARE(dialog.findChild<QListWidget*>(QStringLiteral("details"))->count(), 0);
    QCOMPARE(CDetailsDialog::detailsText(information), QString());
}

void CDetailsDialogTest::longKeysAndValuesFitWithoutScrolling() {
    NSDictionary information(true);
    fillSnapshot(information);
    auto* allKeys = static_cast<ZelboLib::NSArray*>(
        const_cast<ZelboLib::Object*>(information.objectForKey(u"allKeys")));
    const QString longValue = QString(300, QLatin1Char('x'));
    information.setObjectForKey(u"ActivationStateAcknowledged",
                                new CAutoString(CZelboString(reinterpret_cast<const char16_t*>(longValue.utf16()),
                                                 static_cast<int>(longValue.size()))));
    allKeys->addObject(new CAutoString(u"ActivationStateAcknowledged"));
    CDetailsDialog dialog(nullptr, information);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    const auto* list = dialog.findChild<QListWidget*>(QStringLiteral("details"));
    const QLabel* title = rowLabel(list, 5, "title");
    QVERIFY(title->width() >= title->fontMetrics().horizontalAdvance(title->text()));
    QCOMPARE(rowLabel(list, 0, "title")->width(), title->width());
    QVERIFY(!list->horizontalScrollBar()->isVisible());
    QCOMPARE(rowLabel(list, 5, "value")->toolTip(), longValue);
}

void CDetailsDialogTest::copyPutsOneLinePerKeyOnTheClipboard() {
    NSDictionary information(true);
    fillSnapshot(information);
    CDetailsDialog dialog(nullptr, information);
    QGuiApplication::clipboard()->clear();
    dialog.findChild<QPushButton*>(QStringLiteral("btnCopy"))->click();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("DeviceName:\t\t\tDesk <i>iPhone</i>\r\n"
                            "ProductVersion:\t\t\t17.4\r\n"
                            "BatteryIsCharging:\t\t\tFalse\r\n"
                            "BatteryCurrentCapacity:\t\t\t42\r\n"
                            "ActivationState:\t\t\tActivated\r\n"));

    // The button says it worked, then offers the copy again.
    auto* copy = dialog.findChild<QPushButton*>(QStringLiteral("btnCopy"));
    QCOMPARE(copy->text(), QStringLiteral("Copied"));
    QTRY_COMPARE_WITH_TIMEOUT(copy->text(), QStringLiteral("Copy to Clipboard"), 3000);
}

void CDetailsDialogTest::bothCloseButtonsClose_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("footer") << QStringLiteral("btnCancel");
    QTest::newRow("title bar") << QStringLiteral("btnClose");
}

void CDetailsDialogTest::bothCloseButtonsClose() {
    QFETCH(QString, button);
    NSDictionary information(true);
    fillSnapshot(information);
    CDetailsDialog dialog(nullptr, information);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.findChild<QPushButton*>(button)->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

PLOVIK_QTEST(CDetailsDialogTest)
#include "cdetailsdialog_test.moc"
