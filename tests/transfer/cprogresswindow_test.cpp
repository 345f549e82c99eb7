#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/busyoverlay.h"
#include "transfer/transferrate.h"
#include "transfer/ui/cprogresswindow.h"
#include "ui/qtestsuite.h"

class CProgressWindowTest : public QObject {
    Q_OBJECT
private slots:
    void transferMode();
    void busyMode();
    void longOrMarkedUpMessagesStayOneLiteralLine();
    void cancelKeepsTheWindowAndEnterDoesNothing();
    void escapeClosesAtOnceButTheOwnersCloseIsQuiet();
    void overallLine_data();
    void overallLine();
};

namespace {

template <class T = QWidget>
T* child(const QWidget& window, const char* name) {
    auto* found = window.findChild<T*>(QLatin1String(name));
    Q_ASSERT(found);
    return found;
}

constexpr int64_t kMB = int64_t{1} << 20;
constexpr int64_t kGB = int64_t{1} << 30;

}  // namespace

void CProgressWindowTest::transferMode() {
    CProgressWindow window(nullptr, CProgressWindow::Mode::Transfer, QStringLiteral("Copy"));
    window.show();
    QCOMPARE(window.size(), QSize(CProgressWindow::kWidth, CProgressWindow::kHeight));
    QCOMPARE(child<QLabel>(window, "titleLabel")->text(), QStringLiteral("Copy"));
    QVERIFY(child(window, "progressContainer")->isVisible());
    QVERIFY(!child(window, "workingLabel")->isVisible());
    QVERIFY(!child(window, "workingLabelOverall")->isVisible());
    QVERIFY(!window.findChild<BusyOverlay*>());

    window.setMessage(QStringLiteral("Copy /DCIM/a.jpg to /tmp/out..."));
    QCOMPARE(child<QLabel>(window, "workingLabelFile")->text(),
             QStringLiteral("Copy /DCIM/a.jpg to /tmp/out..."));
    QCOMPARE(child<QLabel>(window, "workingLabel")->text(), QStringLiteral("Deleting ..."));

    auto* bar = child<QProgressBar>(window, "workingProgress");
    window.setFilePercent(-1);
    QCOMPARE(bar->maximum(), 0);  // a moving bar while the size is unknown
    window.setFilePercent(250);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 100);
}

void CProgressWindowTest::busyMode() {
    CProgressWindow window(nullptr, CProgressWindow::Mode::Busy, QStringLiteral("Deleting"));
    window.show();
    QVERIFY(!child(window, "progressContainer")->isVisible());
    QVERIFY(child(window, "workingLabel")->isVisible());
    const auto* overlay = window.findChild<BusyOverlay*>();
    QVERIFY(overlay);
    QCOMPARE(overlay->geometry(), QRect(220, 90, 50, 50));

    window.setMessage(QStringLiteral("Deleting item a.jpg..."));
    QCOMPARE(child<QLabel>(window, "workingLabel")->text(),
             QStringLiteral("Deleting item a.jpg..."));
    QCOMPARE(child<QLabel>(window, "workingLabelFile")->text(), QStringLiteral("Processing..."));
}

void CProgressWindowTest::longOrMarkedUpMessagesStayOneLiteralLine() {
    const QString longPath = QStringLiteral("Copy /") +
                             QString(QStringLiteral("folder/")).repeated(60) +
                             QStringLiteral("end.jpg to /tmp/out...");
    CProgressWindow window(nullptr, CProgressWindow::Mode::Transfer, QStringLiteral("Copy"));
    auto* label = child<QLabel>(window, "workingLabelFile");
    window.setMessage(longPath);  // before the window has its layout
    window.show();
    QCOMPARE(window.width(), CProgressWindow::kWidth);
    QVERIFY(label->text().startsWith(QStringLiteral("Copy /folder")));
    QVERIFY(label->text().endsWith(QStringLiteral("/tmp/out...")));
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
    QCOMPARE(label->toolTip(), longPath);

    window.setMessage(QStringLiteral("Copy <b>x</b>.jpg to /tmp..."));
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(label->text(), QStringLiteral("Copy <b>x</b>.jpg to /tmp..."));
    QVERIFY(label->toolTip().isEmpty());
}

void CProgressWindowTest::cancelKeepsTheWindowAndEnterDoesNothing() {
    CProgressWindow window(nullptr, CProgressWindow::Mode::Transfer, QStringLiteral("Copy"));
    QSignalSpy cancelled(&window, &CProgressWindow::cancelClicked);
    QSignalSpy closedEarly(&window, &CProgressWindow::closedEarly);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* cancel = child<QPushButton>(window, "btnCancel");
    cancel->setFocus();
    for (QWidget* target : {static_cast<QWidget*>(&window), static_cast<QWidget*>(cancel)}) {
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
    }
    QVERIFY(window.isVisible());
    QVERIFY(!window.cancelPressed());

    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(window.cancelPressed());
    QCOMPARE(cancelled.count(), 1);
    QVERIFY(window.isVisible());
    QCOMPARE(closedEarly.count(), 0);
}

void CProgressWindowTest::escapeClosesAtOnceButTheOwnersCloseIsQuiet() {
    CProgressWindow escaped(nullptr, CProgressWindow::Mode::Busy, QStringLiteral("Deleting"));
    QSignalSpy closedEarly(&escaped, &CProgressWindow::closedEarly);
    escaped.show();
    QVERIFY(QTest::qWaitForWindowExposed(&escaped));
    QTest::keyClick(&escaped, Qt::Key_Escape);
    QVERIFY(!escaped.isVisible());
    QCOMPARE(closedEarly.count(), 1);
    QVERIFY(!escaped.cancelPressed());
    QVERIFY(!escaped.findChild<BusyOverlay*>());  // the indicator stopped with the window

    CProgressWindow closed(nullptr, CProgressWindow::Mode::Busy, QStringLiteral("Deleting"));
    QSignalSpy closedEarlyToo(&closed, &CProgressWindow::closedEarly);
    closed.show();
    closed.close();
    QVERIFY(!closed.isVisible());
    QCOMPARE(closedEarlyToo.count(), 0);
    QVERIFY(!closed.findChild<BusyOverlay*>());
}

void CProgressWindowTest::overallLine_data() {
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<double>("speed");
    QTest::addColumn<qint64>("secondsLeft");  // -1: not known
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("barMaximum");  // 0: a moving bar

    const QString dash = QStringLiteral(" \u2014 ");
    QTest::newRow("sizes, speed, time")
        << qint64(12 * kMB + 300 * 1024) << qint64(kGB + 20 * kMB) << 31.4 * kMB << qint64(30)
        << "12.29 MB of 1.02 GB" + dash + "31.40 MB/s" + dash + "about 30 s left" << 100;
    QTest::newRow("hours, minutes rounded up")
        << qint64(kMB) << qint64(100 * kGB) << 1.0 * kMB << qint64(3630)
        << "1.00 MB of 100.00 GB" + dash + "1.00 MB/s" + dash + "about 1 h 1 min left" << 100;
    QTest::newRow("stalled") << qint64(kMB) << qint64(2 * kMB) << 0.0 << qint64(-1)
                             << "1.00 MB of 2.00 MB" + dash + "0 bytes/s" << 100;
    QTest::newRow("unknown total") << qint64(3 * kMB) << qint64(0) << 2.0 * kMB << qint64(10)
                                   << "3.00 MB" + dash + "2.00 MB/s" << 0;
}

void CProgressWindowTest::overallLine() {
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    QFETCH(double, speed);
    QFETCH(qint64, secondsLeft);
    QFETCH(QString, text);
    QFETCH(int, barMaximum);

    CProgressWindow window(nullptr, CProgressWindow::Mode::Transfer, QStringLiteral("Copy"));
    window.show();
    window.setOverall(done, total, speed,
                      secondsLeft < 0 ? std::nullopt : std::optional<int64_t>(secondsLeft));
    auto* label = child<QLabel>(window, "workingLabelOverall");
    auto* bar = child<QProgressBar>(window, "workingProgressOverall");
    QVERIFY(label->isVisible());
    QVERIFY(bar->isVisible());
    QCOMPARE(label->text(), text);
    QCOMPARE(bar->maximum(), barMaximum);
    if (barMaximum > 0)
        QCOMPARE(bar->value(), int(done * 100 / total));
}

class TransferRateTest : public QObject {
    Q_OBJECT
private slots:
    void nothingKnownAtTheStart();
    void steadyThenStalled();
    void timeLeftAndRestarts();
};

namespace {

using std::chrono::milliseconds;

// One sample every half second at `bytesPerSecond` up to `seconds`; returns the bytes done.
int64_t feedSteady(TransferRate& rate, int seconds, int64_t bytesPerSecond) {
    for (int half = 0; half <= seconds * 2; ++half)
        rate.addSample(milliseconds(half * 500), half * bytesPerSecond / 2);
    return seconds * bytesPerSecond;
}

}  // namespace

void TransferRateTest::nothingKnownAtTheStart() {
    TransferRate rate;
    QCOMPARE(rate.bytesPerSecond(), 0.0);
    QVERIFY(!rate.secondsLeft(100));
    rate.addSample(milliseconds(0), 0);
    QVERIFY(!rate.secondsLeft(100));
    rate.addSample(milliseconds(0), 4096);  // no time between them
    QCOMPARE(rate.bytesPerSecond(), 0.0);
    QVERIFY(!rate.secondsLeft(100));
}

void TransferRateTest::steadyThenStalled() {
    TransferRate rate(milliseconds(5000));
    const int64_t done = feedSteady(rate, 10, 2 * kMB);
    QCOMPARE(rate.bytesPerSecond(), double(2 * kMB));

    rate.addSample(milliseconds(12000), done);
    QVERIFY(rate.bytesPerSecond() < 2.0 * kMB);
    QVERIFY(rate.bytesPerSecond() > 0.0);
    rate.addSample(milliseconds(15000), done);
    QCOMPARE(rate.bytesPerSecond(), 0.0);
    QVERIFY(!rate.secondsLeft(done + kMB));
}

void TransferRateTest::timeLeftAndRestarts() {
    TransferRate rate;
    const int64_t done = feedSteady(rate, 10, kMB);
    QCOMPARE(rate.secondsLeft(40 * kMB), std::optional<int64_t>(30));
    QCOMPARE(rate.secondsLeft(done + kMB + 1), std::optional<int64_t>(2));
    QCOMPARE(rate.secondsLeft(done / 2), std::optional<int64_t>(0));
    QVERIFY(!rate.secondsLeft(0));  // total unknown

    rate.addSample(milliseconds(11000), 0);  // a new batch
    QCOMPARE(rate.bytesPerSecond(), 0.0);
    rate.addSample(milliseconds(12000), kMB);
    QCOMPARE(rate.bytesPerSecond(), double(kMB));
}

PLOVIK_QTEST(CProgressWindowTest)
PLOVIK_QTEST(TransferRateTest)
#include "cprogresswindow_test.moc"
