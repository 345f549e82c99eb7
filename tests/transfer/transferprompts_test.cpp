#include <functional>
#include <utility>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>

#include "app/preferences.h"
#include "transfer/ui/calertdialog.h"
#include "transfer/ui/cconfirmdialog.h"
#include "transfer/ui/transferprompts.h"
#include "ui/qtestsuite.h"

namespace {

/**
 * Answers the modal dialogs of type T that open while it lives, one action each in order; a
 * dialog beyond the actions is rejected, so one that should not have opened never hangs a test.
 */
template <class T>
class ModalDriver {
public:
    using Action = std::function<void(T&)>;

    explicit ModalDriver(std::vector<Action> actions = {}) : actions_(std::move(actions)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { answerOpenDialogs(); });
        timer_.start(10);
    }

    int opened() const { return opened_; }

private:
    void answerOpenDialogs() {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<T*>(window);
            if (!dialog || !dialog->isVisible())
                continue;
            if (opened_ < static_cast<int>(actions_.size())) {
                actions_[static_cast<size_t>(opened_)](*dialog);
            } else {
                dialog->reject();
            }
            ++opened_;
        }
    }

    std::vector<Action> actions_;
    QTimer timer_;
    int opened_ = 0;
};

using AlertDriver = ModalDriver<CAlertDialog>;

template <class T = QWidget>
T* child(const QWidget& window, const char* name) {
    auto* found = window.findChild<T*>(QLatin1String(name));
    Q_ASSERT(found);
    return found;
}

// What a markup label shows, without invisible joiners.
QString shownText(const QLabel* label) {
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText().remove(QChar(0x2060));
}

struct ShownAlert {
    QString title;
    QString info;
    QString message;
    QStringList buttons;  // the visible buttons' texts
};

// Records the alert, ticks its check box when asked, and presses a button.
AlertDriver::Action answer(const char* button, bool tickOption = false,
                           ShownAlert* shown = nullptr) {
    return [=](CAlertDialog& alert) {
        if (shown) {
            shown->title = child<QLabel>(alert, "titleLabel")->text();
            shown->info = shownText(child<QLabel>(alert, "info"));
            shown->message = shownText(child<QLabel>(alert, "message"));
            for (const char* name : {"btnOK", "btnCancel", "btnOther"}) {
                const auto* visible = child<QPushButton>(alert, name);
                if (visible->isVisibleTo(&alert))
                    shown->buttons << visible->text();
            }
        }
        if (tickOption)
            child<QCheckBox>(alert, "option")->setChecked(true);
        child<QPushButton>(alert, button)->click();
    };
}

TransferPrompts::RunOutcome outcome(int copied, int failed, int skipped = 0,
                                    const char* firstFailure = "") {
    return {copied, failed, skipped, QString::fromUtf8(firstFailure), 0, {}};
}

bool askOverwrite(const QString& path, int& overwriteAnswer, bool& cancelRequested) {
    return TransferPrompts::askOverwrite(nullptr, path, overwriteAnswer, cancelRequested);
}

}  // namespace

class TransferPromptsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void overwriteNamesTheFileLiterally();
    void enterPressesTheFirstButtonWhereverTheFocusIs();
    void allWithSkipSkipsLaterConflictsUntilANewRun();
    void cancelEndsTheRunAndIgnoresTheCheckBox();
    void completionOffStillTellsOfFailures();
    void skippedFilesAreCountedApart();
    void completionWhenAllArrivedAndYesOpensTheFolder();
    void completionNeverClaimsSuccessAfterFailures();
    void dontShowAgainWithNoTurnsTheMessageOff();
    void photosNotConvertedAreToldEvenWithTheMessageOff();

public slots:
    void recordOpenedUrl(const QUrl& url) { openedUrls_ << url; }

private:
    QList<QUrl> openedUrls_;
};

void TransferPromptsTest::init() {
    Preferences::writeSwitch(Preferences::Switch::ShowTransferMessage, true);
    openedUrls_.clear();
}

void TransferPromptsTest::overwriteNamesTheFileLiterally() {
    ShownAlert shown;
    const AlertDriver driver({answer("btnOK", false, &shown)});
    int overwriteAnswer = TransferPrompts::AskEachTime;
    bool cancelRequested = false;
    QVERIFY(askOverwrite("/tmp/out/<b>{x 400}.jpg", overwriteAnswer, cancelRequested));
    QCOMPARE(shown.title, QStringLiteral("Overwrite"));
    QCOMPARE(shown.info, QStringLiteral("File already exists!"));
    QCOMPARE(shown.message, QStringLiteral("The file <b>{x 400}.jpg already exists, do you want "
                                           "to overwrite the existing file?"));
    QCOMPARE(shown.buttons, (QStringList{"Overwrite", "Skip", "Cancel"}));
    QCOMPARE(overwriteAnswer, int(TransferPrompts::AskEachTime));
}

void TransferPromptsTest::enterPressesTheFirstButtonWhereverTheFocusIs() {
    const AlertDriver driver({[](CAlertDialog& dialog) {
        child<QAbstractButton>(dialog, "btnCancel")->setFocus();
        QTest::keyClick(child<QAbstractButton>(dialog, "btnCancel"), Qt::Key_Return);
    }});
    AlertRequest request;
    request.okText = QStringLiteral("OK");
    request.cancelText = QStringLiteral("Cancel");
    QCOMPARE(CAlertDialog::showAlert(nullptr, request), AlertResult::Ok);
}

void TransferPromptsTest::allWithSkipSkipsLaterConflictsUntilANewRun() {
    const AlertDriver driver({answer("btnCancel", true), answer("btnOK")});
    int overwriteAnswer = TransferPrompts::AskEachTime;
    bool cancelRequested = false;
    QVERIFY(!askOverwrite("/tmp/out/a.jpg", overwriteAnswer, cancelRequested));
    QCOMPARE(overwriteAnswer, int(TransferPrompts::SkipAll));
    QVERIFY(!askOverwrite("/tmp/out/b.jpg", overwriteAnswer, cancelRequested));
    QVERIFY(!askOverwrite("/tmp/out/c.jpg", overwriteAnswer, cancelRequested));
    QCOMPARE(driver.opened(), 1);

    overwriteAnswer = TransferPrompts::AskEachTime;  // the next run
    QVERIFY(askOverwrite("/tmp/out/a.jpg", overwriteAnswer, cancelRequested));
    QCOMPARE(driver.opened(), 2);
    QCOMPARE(overwriteAnswer, int(TransferPrompts::AskEachTime));  // no box ticked this time
    QVERIFY(!cancelRequested);
}

void TransferPromptsTest::cancelEndsTheRunAndIgnoresTheCheckBox() {
    const AlertDriver driver({answer("btnOther", true)});
    int overwriteAnswer = TransferPrompts::AskEachTime;
    bool cancelRequested = false;
    QVERIFY(!askOverwrite("a.jpg", overwriteAnswer, cancelRequested));
    QVERIFY(cancelRequested);
    QCOMPARE(overwriteAnswer, int(TransferPrompts::AskEachTime));
}

void TransferPromptsTest::completionOffStillTellsOfFailures() {
    Preferences::writeSwitch(Preferences::Switch::ShowTransferMessage, false);
    ShownAlert some;
    ShownAlert none;
    bool someOffersTheBox = true;
    const AlertDriver driver({[&](CAlertDialog& alert) {
                                  someOffersTheBox =
                                      child<QCheckBox>(alert, "option")->isVisibleTo(&alert);
                                  answer("btnCancel", false, &some)(alert);
                              },
                              answer("btnCancel", false, &none)});
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/out", true, outcome(3, 0));
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/out", true, outcome(0, 0, 2));
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/out", false,
                                           outcome(2, 1, 0, "The device is full"));
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/out", false,
                                           outcome(0, 3, 0, "Permission denied"));
    QTest::qWait(30);
    QCOMPARE(driver.opened(), 2);
    QCOMPARE(some.info, QStringLiteral("Some files were not copied"));
    QVERIFY(some.message.contains(QStringLiteral("1 failed: The device is full.")));
    QVERIFY(!someOffersTheBox);
    QCOMPARE(none.info, QStringLiteral("No file was copied"));
    QVERIFY(none.message.contains(QStringLiteral(": Permission denied (and 2 more failed).")));
    QVERIFY(!Preferences::readSwitch(Preferences::Switch::ShowTransferMessage));
}

void TransferPromptsTest::photosNotConvertedAreToldEvenWithTheMessageOff() {
    Preferences::writeSwitch(Preferences::Switch::ShowTransferMessage, false);
    ShownAlert clean;
    ShownAlert failed;
    const AlertDriver driver(
        {answer("btnCancel", false, &clean), answer("btnCancel", false, &failed)});
    TransferPrompts::RunOutcome converted = outcome(4, 0);
    converted.notConverted = 2;
    converted.firstNotConverted = QStringLiteral("The image does not decode");
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/out", true, converted);
    TransferPrompts::RunOutcome partial = outcome(2, 1, 0, "The device is full");
    partial.notConverted = 1;
    partial.firstNotConverted = QStringLiteral("The image is too large to convert");
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/out", false, partial);
    QTest::qWait(30);
    QCOMPARE(driver.opened(), 2);
    QCOMPARE(clean.info, QStringLiteral("Some photos were not converted"));
    QVERIFY(clean.message.contains(
        QStringLiteral("2 HEIC photos could not be converted to JPEG and were copied as they are; "
                       "the first: The image does not decode.")));
    QCOMPARE(clean.buttons, (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
    QVERIFY(failed.message.contains(
        QStringLiteral("1 HEIC photo could not be converted to JPEG and was copied as it is: The "
                       "image is too large to convert.")));
}

void TransferPromptsTest::skippedFilesAreCountedApart() {
    ShownAlert mixed;
    ShownAlert allSkipped;
    const AlertDriver driver(
        {answer("btnCancel", false, &mixed), answer("btnCancel", false, &allSkipped)});
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/out", false, outcome(2, 0, 1));
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/out", true, outcome(0, 0, 3));
    QCOMPARE(mixed.info, QStringLiteral("Successfully Done!"));
    QCOMPARE(mixed.message, QStringLiteral("2 copied to /tmp/out, 1 skipped."));
    QCOMPARE(allSkipped.info, QStringLiteral("Nothing was copied"));
    QCOMPARE(allSkipped.message,
             QStringLiteral("3 files were skipped: they are already in /tmp/out and were kept."));
    QCOMPARE(allSkipped.buttons, QStringList{"Close"});  // nothing new to open
}

void TransferPromptsTest::completionWhenAllArrivedAndYesOpensTheFolder() {
    ShownAlert offered;
    ShownAlert plain;
    const AlertDriver driver(
        {answer("btnOK", false, &offered), answer("btnCancel", false, &plain)});
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordOpenedUrl");
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/out dir", true, outcome(3, 0));
    TransferPrompts::showCompletionMessage(nullptr, "/Media/DCIM", false, outcome(3, 0));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    QCOMPARE(offered.title, QStringLiteral("Information"));
    QCOMPARE(offered.info, QStringLiteral("Successfully Done!"));
    QCOMPARE(offered.message, QStringLiteral("Files were successfully copied to /tmp/out dir, do "
                                             "you like to open the folder in the file manager?"));
    QCOMPARE(offered.buttons, (QStringList{"Yes", "No"}));
    QCOMPARE(openedUrls_, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/out dir"))});
    QCOMPARE(plain.message, QStringLiteral("Files were successfully copied to /Media/DCIM."));
    QCOMPARE(plain.buttons, QStringList{"Close"});
    QVERIFY(Preferences::readSwitch(Preferences::Switch::ShowTransferMessage));
}

void TransferPromptsTest::completionNeverClaimsSuccessAfterFailures() {
    ShownAlert some;
    ShownAlert none;
    const AlertDriver driver(
        {answer("btnCancel", false, &some), answer("btnCancel", false, &none)});
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/%4", true, outcome(2, 1, 0, "Gone %1"));
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/out", true, outcome(0, 3));
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/out", true, outcome(0, 0));
    QTest::qWait(30);
    QCOMPARE(driver.opened(), 2);  // nothing copied and nothing failed: no message

    QCOMPARE(some.info, QStringLiteral("Some files were not copied"));
    QVERIFY(some.message.startsWith(QStringLiteral(
        "2 of 3 files were copied to /tmp/%4; 1 failed: Gone %1. The Transfers window lists each "
        "file.")));
    QCOMPARE(some.buttons, (QStringList{"Yes", "No"}));
    QCOMPARE(none.title, QStringLiteral("Error"));
    QCOMPARE(none.info, QStringLiteral("No file was copied"));
    QCOMPARE(none.buttons, QStringList{"Close"});
    for (const ShownAlert& shown : {some, none})
        QVERIFY(!(shown.info + shown.message).contains(QStringLiteral("uccess")));
    QVERIFY(openedUrls_.isEmpty());
}

void TransferPromptsTest::dontShowAgainWithNoTurnsTheMessageOff() {
    const AlertDriver driver({answer("btnCancel", true)});
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/out", true, outcome(1, 0));
    QVERIFY(!Preferences::readSwitch(Preferences::Switch::ShowTransferMessage));
    TransferPrompts::showCompletionMessage(nullptr, "/tmp/out", true, outcome(1, 0));
    QTest::qWait(30);
    QCOMPARE(driver.opened(), 1);
    QVERIFY(openedUrls_.isEmpty());
}

class CConfirmDialogTest : public QObject {
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void emptyNamesAndRefusedNamesKeepTheDialog();
    void fileNamesAreSelectedWithoutTheirExtension();
};

void CConfirmDialogTest::answers_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("how");  // a button, or a key
    QTest::addColumn<QString>("result");
    QTest::newRow("OK keeps spaces") << " b .jpg "
                                     << "btnOK"
                                     << " b .jpg ";
    QTest::newRow("Enter") << "b.jpg"
                           << "Return"
                           << "b.jpg";
    QTest::newRow("Escape") << "b.jpg"
                            << "Escape"
                            << "";
    QTest::newRow("close button") << "b.jpg"
                                  << "btnClose"
                                  << "";
}

void CConfirmDialogTest::answers() {
    QFETCH(QString, typed);
    QFETCH(QString, how);
    QFETCH(QString, result);
    QString initialText;
    const ModalDriver<CConfirmDialog> driver({[&](CConfirmDialog& dialog) {
        auto* field = child<QLineEdit>(dialog, "filename");
        initialText = field->text();
        field->setText(typed);
        if (how == QLatin1String("Return") || how == QLatin1String("Escape")) {
            QTest::keyClick(field,
                            how == QLatin1String("Return") ? Qt::Key_Return : Qt::Key_Escape);
        } else {
            QTest::mouseClick(dialog.findChild<QPushButton*>(how), Qt::LeftButton);
        }
    }});
    QCOMPARE(CConfirmDialog::askName(nullptr, QStringLiteral("New Folder"),
                                     QStringLiteral("Enter the folder name:"),
                                     QStringLiteral("New Folder")),
             result);
    QCOMPARE(initialText, QStringLiteral("New Folder"));
}

void CConfirmDialogTest::emptyNamesAndRefusedNamesKeepTheDialog() {
    QStringList tried;
    bool okEnabledWhenEmpty = true;
    bool openAfterRefusal = false;
    QString keptText;
    const ModalDriver<CConfirmDialog> driver({[&](CConfirmDialog& dialog) {
        auto* field = child<QLineEdit>(dialog, "filename");
        auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("btnOK"));
        field->setText(QString());
        okEnabledWhenEmpty = ok->isEnabled();
        QTest::keyClick(field, Qt::Key_Return);
        field->setText(QStringLiteral("taken"));
        QTest::mouseClick(ok, Qt::LeftButton);
        openAfterRefusal = dialog.isVisible();
        keptText = field->text();
        field->setText(QStringLiteral("free"));
        QTest::keyClick(field, Qt::Key_Return);
    }});
    const auto action = [&](const QString& entered, QWidget* dialog) {
        tried.append(entered);
        return dialog != nullptr && entered != QLatin1String("taken");
    };
    QCOMPARE(CConfirmDialog::askName(nullptr, QStringLiteral("Rename"), QStringLiteral("Name:"),
                                     QStringLiteral("old"), action),
             QStringLiteral("free"));
    QVERIFY(!okEnabledWhenEmpty);
    QVERIFY(openAfterRefusal);
    QCOMPARE(keptText, QStringLiteral("taken"));
    QCOMPARE(tried, (QStringList{"taken", "free"}));
}

void CConfirmDialogTest::fileNamesAreSelectedWithoutTheirExtension() {
    const auto selected = [](const QString& name, CConfirmDialog::Selection selection) {
        CConfirmDialog dialog(nullptr, QStringLiteral("Rename"), QStringLiteral("Name:"), name,
                              selection);
        return child<QLineEdit>(dialog, "filename")->selectedText();
    };
    using Selection = CConfirmDialog::Selection;
    QCOMPARE(selected(QStringLiteral("IMG_0001.HEIC"), Selection::NameWithoutExtension),
             QStringLiteral("IMG_0001"));
    QCOMPARE(selected(QStringLiteral("archive.tar.gz"), Selection::NameWithoutExtension),
             QStringLiteral("archive.tar"));
    QCOMPARE(selected(QStringLiteral(".profile"), Selection::NameWithoutExtension),
             QStringLiteral(".profile"));
    QCOMPARE(selected(QStringLiteral("IMG_0001.HEIC"), Selection::All),
             QStringLiteral("IMG_0001.HEIC"));
}

PLOVIK_QTEST(TransferPromptsTest)
PLOVIK_QTEST(CConfirmDialogTest)
#include "transferprompts_test.moc"
