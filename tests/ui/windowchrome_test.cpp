#include <QTest>

#include "ui/layoutloader.h"
#include "ui/qtestsuite.h"
#include "ui/skinnedwindow.h"
#include "ui/windowchrome.h"

class WindowChromeTest : public QObject {
    Q_OBJECT
private slots:
    void titleButtonsFollowTheWindowState();
    void cornersAreCut();
};

void WindowChromeTest::titleButtonsFollowTheWindowState() {
    SkinnedWindow window;
    LayoutLoader loader;
    QVERIFY(window.loadLayout(loader, QStringLiteral("mainwindow.xml")));
    QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(window.minimumSize(), QSize(640, 480));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* maximise = window.findChild<QWidget*>(QStringLiteral("btnMax"));
    auto* restore = window.findChild<QWidget*>(QStringLiteral("btnRestore"));
    QVERIFY(maximise->isVisible() && !restore->isVisible());

    window.setWindowState(Qt::WindowMaximized);
    QTRY_VERIFY(restore->isVisible());
    QVERIFY(!maximise->isVisible());
    QVERIFY(window.mask().isEmpty());

    window.setWindowState(Qt::WindowNoState);
    QTRY_VERIFY(maximise->isVisible());
    QVERIFY(!restore->isVisible());
    QVERIFY(!window.mask().isEmpty());
}

void WindowChromeTest::cornersAreCut() {
    const QRegion shape = WindowChrome::roundedShape(QSize(100, 80), 4);
    QVERIFY(!shape.contains(QPoint(0, 0)));
    QVERIFY(!shape.contains(QPoint(99, 79)));
    QVERIFY(shape.contains(QPoint(4, 0)));
    QVERIFY(shape.contains(QPoint(50, 40)));
    QVERIFY(shape.contains(QPoint(0, 40)));
}

PLOVIK_QTEST(WindowChromeTest)
#include "windowchrome_test.moc"
