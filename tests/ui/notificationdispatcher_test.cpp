#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "ui/notificationdispatcher.h"
#include "ui/qtestsuite.h"

class NotificationDispatcherTest : public QObject {
    Q_OBJECT
private slots:
    void routesByTypeAndControl();
    void carriesTheControlsValues();
    void attachingTwiceDeliversOnce();
};

namespace {

// A small window: two buttons, an edit field and a label with a link.
struct Form {
    QWidget root;
    QPushButton* ok = new QPushButton(&root);
    QPushButton* cancel = new QPushButton(&root);
    QLineEdit* edit = new QLineEdit(&root);
    QLabel* link = new QLabel(&root);
    QPushButton* unnamed = new QPushButton(&root);

    Form() {
        ok->setObjectName(QStringLiteral("btnOK"));
        cancel->setObjectName(QStringLiteral("btnCancel"));
        edit->setObjectName(QStringLiteral("filename"));
        link->setObjectName(QStringLiteral("urlSite"));
    }
};

}  // namespace

void NotificationDispatcherTest::routesByTypeAndControl() {
    Form form;
    NotificationDispatcher dispatcher;
    QStringList seen;
    dispatcher.on(NotificationType::Click, QStringLiteral("btnOK"),
                  [&](const Notification& n) { seen << "ok:" + n.control; });
    dispatcher.on(NotificationType::Click, QStringLiteral("btnCancel"),
                  [&](const Notification&) { seen << QStringLiteral("cancel"); });
    dispatcher.on(NotificationType::Return, QStringLiteral("btnOK"),
                  [&](const Notification&) { seen << QStringLiteral("wrong type"); });
    dispatcher.attach(&form.root);

    form.cancel->click();
    form.ok->click();
    form.unnamed->click();
    QCOMPARE(seen, (QStringList{"cancel", "ok:btnOK"}));
    QVERIFY(!dispatcher.notify(NotificationType::Click, QStringLiteral("unrouted")));

    // A later route for the same pair replaces the earlier one.
    dispatcher.on(NotificationType::Click, QStringLiteral("btnOK"),
                  [&](const Notification&) { seen << QStringLiteral("replaced"); });
    form.ok->click();
    QCOMPARE(seen.last(), QStringLiteral("replaced"));
}

void NotificationDispatcherTest::carriesTheControlsValues() {
    Form form;
    NotificationDispatcher dispatcher;
    QList<Notification> seen;
    const auto record = [&](const Notification& n) { seen << n; };
    dispatcher.on(NotificationType::Return, QStringLiteral("filename"), record);
    dispatcher.on(NotificationType::TextChanged, QStringLiteral("filename"), record);
    dispatcher.on(NotificationType::Link, QStringLiteral("urlSite"), record);
    dispatcher.on(NotificationType::Timer, QStringLiteral("idle"), record);
    dispatcher.attach(&form.root);

    QTest::keyClicks(form.edit, QStringLiteral("a"));
    QTest::keyClick(form.edit, Qt::Key_Return);
    emit form.link->linkActivated(QStringLiteral("https://e.example"));
    QVERIFY(dispatcher.notify(NotificationType::Timer, QStringLiteral("idle"), 512));

    QCOMPARE(seen.size(), 4);
    QCOMPARE(seen[0].type, NotificationType::TextChanged);
    QCOMPARE(seen[0].wParam.toString(), QStringLiteral("a"));
    QCOMPARE(seen[0].sender.data(), form.edit);
    QCOMPARE(seen[1].type, NotificationType::Return);
    QCOMPARE(seen[2].wParam.toString(), QStringLiteral("https://e.example"));
    QCOMPARE(seen[3].wParam.toInt(), 512);
}

void NotificationDispatcherTest::attachingTwiceDeliversOnce() {
    Form form;
    NotificationDispatcher dispatcher;
    int clicks = 0;
    dispatcher.on(NotificationType::Click, QStringLiteral("btnOK"),
                  [&](const Notification&) { ++clicks; });
    dispatcher.attach(&form.root);
    dispatcher.attach(&form.root);
    form.ok->click();
    QCOMPARE(clicks, 1);
}

PLOVIK_QTEST(NotificationDispatcherTest)
#include "notificationdispatcher_test.moc"
