#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "transfer/ui/calertdialog.h"
#include "ui/qtestsuite.h"

class CAlertDialogTest : public QObject {
    Q_OBJECT
private slots:
    void buttonsGiveTheirResults_data();
    void buttonsGiveTheirResults();
    void escapeDoesNotEndItAndEnterPressesTheFirstButton();
    void onlyButtonsWithTextsShow();
    void heightFollowsTheTexts();
    void showAlertReturnsTheOption();
};

namespace {

AlertRequest overwritePrompt() {
    AlertRequest request;
    request.title = QStringLiteral("Overwrite");
    request.info = QStringLiteral("File already exists!");
    request.message = QStringLiteral(
        "The file <b>a.jpg</b> already exists, do you want to "
        "overwrite the existing file?");
    request.icon = QStringLiteral("icons\\help60.png");
    request.optionText = QStringLiteral("Do this operation on all items?");
    request.okText = QStringLiteral("Overwrite");
    request.cancelText = QStringLiteral("Skip");
    request.otherText = QStringLiteral("Cancel");
    return request;
}

template <class T>
T* child(const QWidget& dialog, const char* name) {
    return dialog.findChild<T*>(QLatin1String(name));
}

}  // namespace

void CAlertDialogTest::buttonsGiveTheirResults_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << "btnOK" << 0;
    QTest::newRow("Cancel") << "btnCancel" << 1;
    QTest::newRow("close button") << "btnClose" << 1;
    QTest::newRow("Other") << "btnOther" << 2;
}

void CAlertDialogTest::buttonsGiveTheirResults() {
    QFETCH(QString, button);
    QFETCH(int, result);
    CAlertDialog alert(nullptr, overwritePrompt());
    alert.show();
    QVERIFY(QTest::qWaitForWindowExposed(&alert));
    QTest::mouseClick(alert.findChild<QPushButton*>(button), Qt::LeftButton);
    QVERIFY(!alert.isVisible());
    QCOMPARE(alert.result(), result);
}

void CAlertDialogTest::escapeDoesNotEndItAndEnterPressesTheFirstButton() {
    CAlertDialog alert(nullptr, overwritePrompt());
    alert.show();
    QVERIFY(QTest::qWaitForWindowExposed(&alert));
    QTest::keyClick(&alert, Qt::Key_Escape);
    QVERIFY(alert.isVisible());
    QTest::keyClick(&alert, Qt::Key_Return);
    QVERIFY(!alert.isVisible());
    QCOMPARE(alert.result(), 0);
}

void CAlertDialogTest::onlyButtonsWithTextsShow() {
    AlertRequest request;
    request.title = QStringLiteral("Error");
    request.info = QStringLiteral("Could not rename");
    request.cancelText = QStringLiteral("Close");
    CAlertDialog alert(nullptr, request);
    alert.show();
    QVERIFY(!child<QPushButton>(alert, "btnOK")->isVisible());
    QVERIFY(!child<QPushButton>(alert, "btnOther")->isVisible());
    QVERIFY(child<QPushButton>(alert, "btnCancel")->isVisible());
    QCOMPARE(child<QPushButton>(alert, "btnCancel")->text(), QStringLiteral("Close"));
    QVERIFY(!child<QWidget>(alert, "infoLeft")->isVisible());
    QVERIFY(!child<QWidget>(alert, "optionHolder")->isVisible());
    QCOMPARE(child<QLabel>(alert, "titleLabel")->text(), QStringLiteral("Error"));
}

void CAlertDialogTest::heightFollowsTheTexts() {
    AlertRequest request = overwritePrompt();
    const CAlertDialog withOption(nullptr, request);
    request.optionText.clear();
    const CAlertDialog withoutOption(nullptr, request);
    QCOMPARE(withOption.height() - withoutOption.height(), 20);

    // Short texts: the 60-pixel icon decides.
    request.message = QStringLiteral("Short.");
    const CAlertDialog shortText(nullptr, request);
    QCOMPARE(shortText.height(), 60 + CAlertDialog::kChromeHeight);

    // A long text grows the alert, and every line stays inside it.
    request.message = QString(QStringLiteral("A long message that wraps. ")).repeated(20);
    CAlertDialog longText(nullptr, request);
    QVERIFY(longText.height() > shortText.height() + 40);
    longText.show();
    const auto* message = child<QLabel>(longText, "message");
    QVERIFY(message->heightForWidth(message->width()) <= message->height());
    QCOMPARE(longText.width(), CAlertDialog::kWidth);
}

void CAlertDialogTest::showAlertReturnsTheOption() {
    QTimer::singleShot(0, [] {
        auto* alert = qobject_cast<CAlertDialog*>(QApplication::activeModalWidget());
        QVERIFY(alert);
        child<QCheckBox>(*alert, "option")->setChecked(true);
        child<QPushButton>(*alert, "btnCancel")->click();
    });
    bool optionChecked = false;
    QCOMPARE(CAlertDialog::showAlert(nullptr, overwritePrompt(), &optionChecked),
             AlertResult::Cancel);
    QVERIFY(optionChecked);
}

PLOVIK_QTEST(CAlertDialogTest)
#include "calertdialog_test.moc"
