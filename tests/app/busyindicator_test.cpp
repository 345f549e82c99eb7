#include "app/busyindicator.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include "app/busyoverlay.h"

class BusyIndicatorTest : public QObject {
    Q_OBJECT
private slots:
    void stepsWalkRoundElevenPositions() {
        int step = 0;
        QList<int> seen;
        for (int i = 0; i < 12; ++i) {
            seen << step;
            step = BusyIndicatorFrame::nextStep(step);
        }
        QCOMPARE(seen, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0}));
    }

    void dotsFadeBehindTheBrightOne() {
        for (const int step : {0, 10}) {
            for (int j = 0; j < BusyIndicatorFrame::kDots; ++j) {
                QCOMPARE(BusyIndicatorFrame::dotOpacity(j, step), int(j / 10.0 * 255));
            }
        }
        QCOMPARE(BusyIndicatorFrame::dotOpacity(3, 3), 0);
        QCOMPARE(BusyIndicatorFrame::dotOpacity(2, 3), 229);  // just behind: nearly full
        QCOMPARE(BusyIndicatorFrame::dotOpacity(4, 3), 25);
    }

    void framesSitOnARoundedPlate() {
        const QColor colour = QColor::fromRgba(0xFF333333);
        const QImage blended = BusyIndicatorFrame::draw(
            QSize(60, 60), colour, 0, BusyIndicatorFrame::Blending::PerPixelAlpha);
        QCOMPARE(qAlpha(blended.pixel(0, 0)), 0);  // the rounded corner lets the window show
        QCOMPARE(blended.pixelColor(30, 30), colour);
        const QImage opaque = BusyIndicatorFrame::draw(QSize(50, 50), QColor(48, 48, 48), 0,
                                                       BusyIndicatorFrame::Blending::Opaque);
        QCOMPARE(opaque.pixelColor(0, 0), QColor(48, 48, 48));
    }

    void animatesOnItsOwnThreadAndStopsRightAfterStart() {
        QWidget window;
        window.resize(400, 300);
        window.show();
        BusyIndicator indicator;
        indicator.start(&window, QColor::fromRgba(0xFF333333), true, QRect(0, 0, 60, 60));
        QVERIFY(indicator.isRunning());
        QVERIFY(window.findChild<BusyOverlay*>() != nullptr);
        indicator.stop();
        QVERIFY(!indicator.isRunning());
        QCOMPARE(window.findChild<BusyOverlay*>(), nullptr);

        indicator.start(&window, QColor::fromRgba(0xFF333333), true, QRect(0, 0, 60, 60));
        // The ring moves while this thread sleeps: frames come from the indicator's thread.
        QThread::msleep(3 * BusyIndicator::kFrameMilliseconds);
        QVERIFY(indicator.nextStep() >= 2);
        indicator.stop();
    }

    void aCentredIndicatorFollowsResizes() {
        QWidget window;
        window.resize(400, 300);
        window.show();
        BusyIndicator indicator;
        indicator.start(&window, Qt::darkGray, true, QRect(0, 0, 60, 60));
        auto* overlay = window.findChild<BusyOverlay*>();
        QVERIFY(overlay != nullptr);
        QCOMPARE(overlay->geometry().center(), window.rect().center());
        window.resize(800, 500);
        QCoreApplication::processEvents();
        QVERIFY((overlay->geometry().center() - window.rect().center()).manhattanLength() <= 1);
        indicator.stop();
    }
};

QTEST_MAIN(BusyIndicatorTest)
#include "busyindicator_test.moc"
