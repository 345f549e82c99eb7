#include "app/cpreferencesdialog.h"

#include <limits>
#include <utility>

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>

#include "app/preferences.h"
#include "app/thumbnailcachestore.h"
#include "transfer/ui/calertdialog.h"
#include "ui/windowmessages.h"
#include "values/bytesize.h"

namespace {

const QString kFinishCalcCache = QStringLiteral("WM_FINISH_CALC_CACHE");
const QString kClearCacheButton = QStringLiteral("btnClearCache");

struct SwitchBox {
    Preferences::Switch setting;
    const char* control;
};

// In the order OK stores them.
constexpr SwitchBox kSwitchBoxes[] = {
    {Preferences::Switch::ShowFileInspector, "prefShowInspector"},
    {Preferences::Switch::CheckUpdates, "prefCheckUpdates"},
    {Preferences::Switch::WorkInSafeMode, "prefSafeMode"},
    {Preferences::Switch::ShowTransferMessage, "prefShowTransferMessage"},
    {Preferences::Switch::GenerateThumbnail, "prefGenerateThumbnail"},
    {Preferences::Switch::ConvertHeicToJpeg, "prefConvertHeicToJpeg"},
};

}  // namespace

CPreferencesDialog::CPreferencesDialog(QWidget* owner, ThumbnailCacheStore& cache,
                                       ClearingHook clearingHook)
    : SkinnedDialog(QStringLiteral("preferences.xml"), owner),
      cache_(cache),
      clearingHook_(std::move(clearingHook)) {
    setObjectName(QStringLiteral("PreferencesWindow"));
    loadSwitches();

    auto& routes = notifications();
    routes.on(NotificationType::Click, QStringLiteral("btnOK"), [this](const Notification&) {
        storeSwitches();
        done(QDialog::Accepted);
    });
    routes.on(NotificationType::Click, QStringLiteral("btnCancel"),
              [this](const Notification&) { done(QDialog::Rejected); });
    routes.on(NotificationType::Click, kClearCacheButton,
              [this](const Notification&) { clearCache(); });
    // The title bar's close button closes the window, which rejects.

    startSizing();
}

CPreferencesDialog::~CPreferencesDialog() {
    stopSizing();
}

void CPreferencesDialog::done(int result) {
    stopSizing();
    SkinnedDialog::done(result);
}

bool CPreferencesDialog::event(QEvent* event) {
    if (event->type() == WindowMessages::type(kFinishCalcCache)) {
        showCacheSize();
        return true;
    }
    return SkinnedDialog::event(event);
}

void CPreferencesDialog::loadSwitches() {
    for (const SwitchBox& box : kSwitchBoxes) {
        if (auto* check = control<QCheckBox>(QLatin1String(box.control))) {
            check->setChecked(Preferences::readSwitch(box.setting));
        }
    }
}

void CPreferencesDialog::storeSwitches() {
    for (const SwitchBox& box : kSwitchBoxes) {
        const auto* check = control<QCheckBox>(QLatin1String(box.control));
        Preferences::writeSwitch(box.setting, check && check->isChecked());
    }
}

void CPreferencesDialog::startSizing() {
    showCacheText(tr("Calculating cache..."));
    // The worker posts to the dialog; the dialog waits for it before it goes away, so the
    // pointer stays valid, and Qt drops the posted message of a destroyed dialog.
    sizer_ = std::thread([this] {
        const auto size = cache_.totalSize(stopSizing_);
        if (!size || stopSizing_)
            return;
        cacheSize_ = *size;
        QCoreApplication::postEvent(this, new WindowMessageEvent(kFinishCalcCache));
    });
}

void CPreferencesDialog::stopSizing() {
    stopSizing_ = true;
    if (sizer_.joinable())
        sizer_.join();
}

bool CPreferencesDialog::confirmClearing() {
    AlertRequest question;
    question.title = QStringLiteral("Clear Thumbnail Cache");
    question.info = QStringLiteral("Delete every thumbnail kept on this computer?");
    question.message =
        QStringLiteral("They are made again from the devices' files when their folders are shown.");
    question.icon = QStringLiteral("icons\\help60.png");
    question.okText = QStringLiteral("Clear");
    question.cancelText = QStringLiteral("Cancel");
    return CAlertDialog::showAlert(this, question) == AlertResult::Ok;
}

void CPreferencesDialog::clearCache() {
    if (!confirmClearing())
        return;
    showCacheText(tr("Deleting cache..."));
    const std::function<void()> clearStep = [this] { cache_.clear(); };
    if (clearingHook_) {
        clearingHook_(clearStep);
    } else {
        clearStep();
    }
    showCacheText(QString());
}

void CPreferencesDialog::showCacheText(const QString& text) {
    if (auto* button = control<QAbstractButton>(kClearCacheButton)) {
        button->setEnabled(false);
        button->setText(text);
        button->repaint();
    }
}

void CPreferencesDialog::showCacheSize() {
    auto* button = control<QAbstractButton>(kClearCacheButton);
    if (!button)
        return;
    const std::uint64_t size = cacheSize_;
    if (size == 0) {
        showCacheText(QString());
        return;
    }
    const auto shown =
        static_cast<int64_t>(std::min<std::uint64_t>(size, std::numeric_limits<int64_t>::max()));
    const QString sizeText =
        QString::fromStdU16String(std::u16string(formatByteSize(shown).view()));
    button->setText(button->property("userData").toString() + QLatin1Char(' ') + sizeText);
    button->setEnabled(true);
}
