#include <memory>
#include <thread>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include "app/cpreferencesdialog.h"
#include "app/dialogscript.h"
#include "app/preferences.h"
#include "app/thumbnailcachestore.h"
#include "temporarysettings.h"
#include "ui/qtestsuite.h"

class CPreferencesDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { settings_ = std::make_unique<TemporarySettings>(); }
    void init() { settings_->clear(); }
    void checkBoxesShowTheStoredSwitches();
    void cancelStoresNothing_data();
    void cancelStoresNothing();
    void okStoresAllFive();
    void emptyCacheLeavesTheButtonEmpty();
    void cacheSizeIsShown();
    void closingFirstStopsTheSizing();
    void clearingRunsInsideTheHook();

private:
    std::unique_ptr<TemporarySettings> settings_;
};

namespace {

const QStringList kSwitchNames = {"ShowFileInspector",   "WorkInSafeMode",    "CheckUpdates",
                                  "ShowTransferMessage", "GenerateThumbnail", "ConvertHeicToJpeg"};

class FakeCache : public ThumbnailCacheStore {
public:
    explicit FakeCache(std::uint64_t size, bool waitForStop = false)
        : size_(size), waitForStop_(waitForStop) {}

    std::optional<std::uint64_t> totalSize(const std::atomic<bool>& stop) const override {
        while (waitForStop_ && !stop)
            std::this_thread::yield();
        if (stop) {
            sawStop = true;
            return std::nullopt;
        }
        return size_;
    }
    void clear() override { ++clears; }

    mutable std::atomic<bool> sawStop{false};
    int clears = 0;

private:
    std::uint64_t size_;
    bool waitForStop_;
};

QPushButton* cacheButton(const QWidget& dialog) {
    return dialog.findChild<QPushButton*>(QStringLiteral("btnClearCache"));
}

QCheckBox* box(const QWidget& dialog, const char* name) {
    return dialog.findChild<QCheckBox*>(QLatin1String(name));
}

}  // namespace

void CPreferencesDialogTest::checkBoxesShowTheStoredSwitches() {
    Preferences::writeSwitch(Preferences::Switch::WorkInSafeMode, false);
    settings_->store(QStringLiteral("GenerateThumbnail"), QStringLiteral("no"));
    FakeCache cache(0);
    CPreferencesDialog dialog(nullptr, cache);
    QVERIFY(!box(dialog, "prefSafeMode")->isChecked());
    QVERIFY(box(dialog, "prefGenerateThumbnail")->isChecked());
    QVERIFY(box(dialog, "prefShowInspector")->isChecked());
}

void CPreferencesDialogTest::cancelStoresNothing_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("Cancel") << "btnCancel";
    QTest::newRow("close button") << "btnClose";
}

void CPreferencesDialogTest::cancelStoresNothing() {
    QFETCH(QString, button);
    FakeCache cache(0);
    CPreferencesDialog dialog(nullptr, cache);
    dialog.show();
    box(dialog, "prefShowInspector")->click();
    box(dialog, "prefCheckUpdates")->click();
    dialog.findChild<QPushButton*>(button)->click();
    QCOMPARE(dialog.result(), 0);
    for (const QString& name : kSwitchNames)
        QVERIFY2(!settings_->stored(name).isValid(), qPrintable(name));
}

void CPreferencesDialogTest::okStoresAllFive() {
    FakeCache cache(0);
    CPreferencesDialog dialog(nullptr, cache);
    dialog.show();
    box(dialog, "prefShowInspector")->click();
    box(dialog, "prefShowTransferMessage")->click();
    dialog.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    QCOMPARE(dialog.result(), 1);
    QCOMPARE(settings_->stored("ShowFileInspector").toInt(), 0);
    QCOMPARE(settings_->stored("WorkInSafeMode").toInt(), 1);
    QCOMPARE(settings_->stored("CheckUpdates").toInt(), 1);
    QCOMPARE(settings_->stored("ShowTransferMessage").toInt(), 0);
    QCOMPARE(settings_->stored("GenerateThumbnail").toInt(), 1);
    QCOMPARE(settings_->stored("ConvertHeicToJpeg").toInt(), 0);

    // Off until asked for, then stored on.
    CPreferencesDialog again(nullptr, cache);
    again.show();
    QVERIFY(!box(again, "prefConvertHeicToJpeg")->isChecked());
    box(again, "prefConvertHeicToJpeg")->click();
    again.findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
    QCOMPARE(settings_->stored("ConvertHeicToJpeg").toInt(), 1);
}

void CPreferencesDialogTest::emptyCacheLeavesTheButtonEmpty() {
    FakeCache cache(0);
    CPreferencesDialog dialog(nullptr, cache);
    QCOMPARE(cacheButton(dialog)->text(), QStringLiteral("Calculating cache..."));
    QVERIFY(!cacheButton(dialog)->isEnabled());
    QTRY_COMPARE(cacheButton(dialog)->text(), QString());
    QVERIFY(!cacheButton(dialog)->isEnabled());
}

void CPreferencesDialogTest::cacheSizeIsShown() {
    FakeCache cache(1536);
    CPreferencesDialog dialog(nullptr, cache);
    QTRY_COMPARE(cacheButton(dialog)->text(), QStringLiteral("Cache Size 1.50 KB"));
    QVERIFY(cacheButton(dialog)->isEnabled());
}

void CPreferencesDialogTest::closingFirstStopsTheSizing() {
    FakeCache cache(1536, true);
    {
        CPreferencesDialog dialog(nullptr, cache);
        dialog.show();
        dialog.findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
        QVERIFY(cache.sawStop);
        QCOMPARE(cacheButton(dialog)->text(), QStringLiteral("Calculating cache..."));
    }
    // The sizer posted nothing to the dialog that is gone.
    QCoreApplication::processEvents();

    // Destroyed without closing: the sizer is stopped as well.
    FakeCache other(1536, true);
    { CPreferencesDialog dialog(nullptr, other); }
    QVERIFY(other.sawStop);
}

void CPreferencesDialogTest::clearingRunsInsideTheHook() {
    FakeCache cache(4096);
    QStringList steps;
    CPreferencesDialog dialog(nullptr, cache, [&](const std::function<void()>& clearStep) {
        steps << "busy " + cacheButton(dialog)->text();
        clearStep();
        steps << QStringLiteral("cleared %1").arg(cache.clears);
    });
    QTRY_VERIFY(cacheButton(dialog)->isEnabled());
    DialogScript script;
    // Asked first: Cancel clears nothing.
    script.alert("btnCancel");
    cacheButton(dialog)->click();
    QVERIFY(script.finished());
    QVERIFY(script.alerts.last().startsWith(QStringLiteral("Delete every thumbnail")));
    QCOMPARE(cache.clears, 0);
    QVERIFY(steps.isEmpty());
    QVERIFY(cacheButton(dialog)->isEnabled());

    script.alert("btnOK");
    cacheButton(dialog)->click();
    QVERIFY(script.finished());
    QCOMPARE(steps, (QStringList{"busy Deleting cache...", "cleared 1"}));
    QCOMPARE(cacheButton(dialog)->text(), QString());
    QVERIFY(!cacheButton(dialog)->isEnabled());
}

PLOVIK_QTEST(CPreferencesDialogTest)
#include "cpreferencesdialog_test.moc"
