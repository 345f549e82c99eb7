#include <QAction>
#include <QMenu>
#include <QTest>

#include "ui/menudelegate.h"
#include "ui/popupmenu.h"
#include "ui/qtestsuite.h"

class PopupMenuTest : public QObject {
    Q_OBJECT
private slots:
    void itemsComeFromTheLayout();
    void reportsTheChosenItem();
    void disabledItemsAreNotReported();
    void checkMarksFollowTheCaller();
    void brokenMenusNeverOpen();
    void placement();
};

namespace {

class RecordingDelegate : public MenuDelegate {
public:
    void menuItemChosen(const QString& menuFile, const QString& itemName) override {
        chosen << menuFile + "/" + itemName;
    }
    QStringList chosen;
};

QStringList itemNames(const QMenu* menu) {
    QStringList names;
    for (const QAction* action : menu->actions()) {
        names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    }
    return names;
}

}  // namespace

void PopupMenuTest::itemsComeFromTheLayout() {
    RecordingDelegate delegate;
    PopupMenu main(QStringLiteral("mainmenu.xml"), delegate, nullptr);
    QVERIFY(main.isValid());
    QCOMPARE(itemNames(main.menu()), (QStringList{"mmPreferences", "mmShowWelcome", "-",
                                                  "mmCheckUpdates", "mmWebsite", "-", "mmAbout"}));
    QVERIFY(!main.item(QStringLiteral("mmShowWelcome"))->isVisible());
    QCOMPARE(main.item(QStringLiteral("mmPreferences"))->text(), QStringLiteral("Preferences..."));

    PopupMenu file(QStringLiteral("filemenu.xml"), delegate, nullptr);
    QCOMPARE(file.item(QStringLiteral("download"))->text(), QStringLiteral("Copy to Folder..."));
    PopupMenu import(QStringLiteral("importmenu.xml"), delegate, nullptr);
    QCOMPARE(itemNames(import.menu()), (QStringList{"uploadFiles", "uploadDirectory"}));
}

void PopupMenuTest::reportsTheChosenItem() {
    RecordingDelegate delegate;
    PopupMenu menu(QStringLiteral("viewstylemenu.xml"), delegate, nullptr);
    menu.item(QStringLiteral("tiles"))->trigger();
    menu.item(QStringLiteral("details"))->trigger();
    QCOMPARE(delegate.chosen,
             (QStringList{"viewstylemenu.xml/tiles", "viewstylemenu.xml/details"}));
}

void PopupMenuTest::disabledItemsAreNotReported() {
    RecordingDelegate delegate;
    PopupMenu menu(QStringLiteral("filemenu.xml"), delegate, nullptr);
    menu.setItemEnabled(QStringLiteral("delete"), false);
    menu.setItemEnabled(QStringLiteral("nosuchitem"), false);
    menu.item(QStringLiteral("delete"))->trigger();
    menu.setItemEnabled(QStringLiteral("delete"), true);
    menu.item(QStringLiteral("delete"))->trigger();
    QCOMPARE(delegate.chosen, QStringList{"filemenu.xml/delete"});
}

void PopupMenuTest::checkMarksFollowTheCaller() {
    RecordingDelegate delegate;
    PopupMenu menu(QStringLiteral("viewstylemenu.xml"), delegate, nullptr);
    menu.setItemChecked(QStringLiteral("largeIcons"), true);
    QVERIFY(menu.item(QStringLiteral("largeIcons"))->isChecked());
    QVERIFY(!menu.item(QStringLiteral("details"))->isChecked());
    menu.setItemChecked(QStringLiteral("largeIcons"), false);
    QVERIFY(!menu.item(QStringLiteral("largeIcons"))->isChecked());

    // Items that are not checkable in the layout still take a mark when asked.
    PopupMenu file(QStringLiteral("filemenu.xml"), delegate, nullptr);
    file.setItemChecked(QStringLiteral("rename"), true);
    QVERIFY(file.item(QStringLiteral("rename"))->isChecked());
}

void PopupMenuTest::brokenMenusNeverOpen() {
    RecordingDelegate delegate;
    PopupMenu missing(QStringLiteral("nosuchmenu.xml"), delegate, nullptr);
    QVERIFY(!missing.isValid());
    missing.popupAt(QPoint(10, 10));
    missing.setItemChecked(QStringLiteral("details"), true);
    QVERIFY(!missing.item(QStringLiteral("details")));

    // A window layout is not a menu.
    PopupMenu notAMenu(QStringLiteral("alert.xml"), delegate, nullptr);
    QVERIFY(!notAMenu.isValid());
}

void PopupMenuTest::placement() {
    const QRect button(100, 50, 30, 20);
    const QSize menu(160, 120);
    QCOMPARE(PopupMenu::position(button, menu, MenuPlacement::BelowRightExtendingLeft),
             QPoint(130 - 160, 70));
    QCOMPARE(PopupMenu::position(button, menu, MenuPlacement::BelowLeftExtendingRight),
             QPoint(100, 70));
}

PLOVIK_QTEST(PopupMenuTest)
#include "popupmenu_test.moc"
