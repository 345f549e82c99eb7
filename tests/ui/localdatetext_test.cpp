#include <cstdlib>
#include <ctime>

#include <QDateTime>
#include <QLocale>
#include <QTest>

#include "ui/localdatetext.h"
#include "ui/qtestsuite.h"

class LocalDateTextTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        setenv("TZ", "Asia/Tokyo", 1);
        tzset();
    }
    void cleanupTestCase() {
        QLocale::setDefault(QLocale::system());
        unsetenv("TZ");
        tzset();
    }
    void devicesTimesAndHistoryStampsShowInLocalTimeAndTheLocalesForm();
};

void LocalDateTextTest::devicesTimesAndHistoryStampsShowInLocalTimeAndTheLocalesForm() {
    // 2026-12-09 10:00:00 UTC is 19:00 in Tokyo; part seconds are cut.
    const std::int64_t tenUtc = std::int64_t{1796810400} * 1'000'000'000 + 999'999'999;
    const QString evening =
        QLocale().toString(QDateTime(QDate(2026, 12, 9), QTime(19, 0)), QLocale::ShortFormat);
    QCOMPARE(localDateText(tenUtc), evening);
    QVERIFY(evening.startsWith(QStringLiteral("12/9/26 7:00")));
    // The history stores SQLite's UTC stamps.
    QCOMPARE(localDateTextOfUtcStamp(QStringLiteral("2026-12-09 10:00:00")), localDateText(tenUtc));
    QCOMPARE(localDateTextOfUtcStamp(QStringLiteral("not a time")), QStringLiteral("not a time"));
}

PLOVIK_QTEST(LocalDateTextTest)
#include "localdatetext_test.moc"
