#include <memory>

#include <QTemporaryDir>
#include <QTest>

#include "app/preferences.h"
#include "temporarysettings.h"
#include "ui/qtestsuite.h"

class PreferencesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { settings_ = std::make_unique<TemporarySettings>(); }
    void init() { settings_->clear(); }
    void everythingDefaultsToOn();
    void storedSwitchesReadBack();
    void valuesThatAreNotNumbersCountAsAbsent_data();
    void valuesThatAreNotNumbersCountAsAbsent();
    void viewStyleIsReturnedUnchanged();
    void lastLocalFolderIsKeptWhileItExists();

private:
    std::unique_ptr<TemporarySettings> settings_;
};

void PreferencesTest::lastLocalFolderIsKeptWhileItExists() {
    QCOMPARE(Preferences::readLastLocalFolder(), QString());
    QTemporaryDir folder;
    Preferences::writeLastLocalFolder(folder.path());
    QCOMPARE(Preferences::readLastLocalFolder(), folder.path());
    // A folder that has gone is not offered.
    QVERIFY(folder.remove());
    QCOMPARE(Preferences::readLastLocalFolder(), QString());
}

void PreferencesTest::everythingDefaultsToOn() {
    using S = Preferences::Switch;
    for (const S setting : {S::ShowFileInspector, S::WorkInSafeMode, S::CheckUpdates,
                            S::ShowTransferMessage, S::GenerateThumbnail}) {
        QVERIFY(Preferences::readSwitch(setting));
    }
    // Converting photos changes what a copy writes: the user turns it on.
    QVERIFY(!Preferences::readSwitch(S::ConvertHeicToJpeg));
    QCOMPARE(Preferences::readViewStyle(), 1u);
}

void PreferencesTest::storedSwitchesReadBack() {
    Preferences::writeSwitch(Preferences::Switch::GenerateThumbnail, false);
    Preferences::writeSwitch(Preferences::Switch::CheckUpdates, true);
    QVERIFY(!Preferences::readSwitch(Preferences::Switch::GenerateThumbnail));
    QVERIFY(Preferences::readSwitch(Preferences::Switch::CheckUpdates));
    QVERIFY(Preferences::readSwitch(Preferences::Switch::ShowFileInspector));
    QCOMPARE(settings_->stored("GenerateThumbnail").toInt(), 0);
    QCOMPARE(settings_->stored("CheckUpdates").toInt(), 1);
}

void PreferencesTest::valuesThatAreNotNumbersCountAsAbsent_data() {
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("on");
    QTest::newRow("zero") << QVariant(0) << false;
    QTest::newRow("zero as text") << QVariant(QStringLiteral("0")) << false;
    QTest::newRow("any other number") << QVariant(7) << true;
    QTest::newRow("a word") << QVariant(QStringLiteral("off")) << true;
    QTest::newRow("a boolean") << QVariant(false) << true;
    QTest::newRow("a fraction") << QVariant(QStringLiteral("0.0")) << true;
    QTest::newRow("negative") << QVariant(-1) << true;
    QTest::newRow("too large") << QVariant(Q_INT64_C(4294967296)) << true;
    QTest::newRow("a list") << QVariant(QStringList{"0"}) << true;
    QTest::newRow("empty text") << QVariant(QString()) << true;
}

void PreferencesTest::valuesThatAreNotNumbersCountAsAbsent() {
    QFETCH(QVariant, stored);
    QFETCH(bool, on);
    settings_->store(QStringLiteral("ShowFileInspector"), stored);
    QCOMPARE(Preferences::readSwitch(Preferences::Switch::ShowFileInspector), on);
}

void PreferencesTest::viewStyleIsReturnedUnchanged() {
    Preferences::writeViewStyle(6);
    QCOMPARE(Preferences::readViewStyle(), 6u);
    Preferences::writeViewStyle(42);
    QCOMPARE(Preferences::readViewStyle(), 42u);
    settings_->store(QStringLiteral("fileViewStyle"), QStringLiteral("tiles"));
    QCOMPARE(Preferences::readViewStyle(), 1u);
}

PLOVIK_QTEST(PreferencesTest)
#include "preferences_test.moc"
