#include "app/deleteconfirmation.h"

#include <algorithm>

#include "app/preferences.h"
#include "app/qtextconversion.h"
#include "device/amdevice.h"
#include "fstree/filesystemnode.h"
#include "fstree/photolibrary.h"
#include "transfer/ui/calertdialog.h"

namespace {

const QString kQuestionIcon = QStringLiteral("icons\\help60.png");

}  // namespace

bool DeleteConfirmation::ask(QWidget* owner, std::vector<NodePointer>& items) {
    const auto inLibrary = std::find_if(items.begin(), items.end(), [](const NodePointer& item) {
        return PhotoLibrary::contains(*item);
    });
    std::optional<bool> confirmed;
    if (inLibrary != items.end())
        confirmed = askAboutPhotoLibrary(owner, *inLibrary);
    if (!confirmed)
        confirmed = askPlainly(owner);
    return *confirmed && askAboutLivePhotos(owner, items);
}

bool DeleteConfirmation::askPlainly(QWidget* owner) {
    AlertRequest confirm;
    confirm.title = QStringLiteral("Confirm to Delete");
    confirm.info = QStringLiteral(
        "The selected items will be deleted permanently and can not be recoverd.\n\n");
    confirm.message = QStringLiteral("Do you really want to continue?");
    confirm.icon = kQuestionIcon;
    confirm.okText = QStringLiteral("OK");
    confirm.cancelText = QStringLiteral("Cancel");
    return CAlertDialog::showAlert(owner, confirm) == AlertResult::Ok;
}

std::optional<bool> DeleteConfirmation::askAboutPhotoLibrary(QWidget* owner,
                                                             const NodePointer& item) {
    const QString device = toQString(item->device()->uniqueDeviceID());
    if (!Preferences::readPhotoDeleteWarning(device))
        return std::nullopt;
    AlertRequest warning;
    warning.title = QStringLiteral("Confirm to Delete");
    warning.info = QStringLiteral("Delete from the camera roll folder?");
    warning.message = QString::fromUtf8(PhotoLibrary::kDeleteWarning);
    warning.icon = kQuestionIcon;
    warning.optionText = QStringLiteral("Don't ask again for this device");
    warning.okText = QStringLiteral("Delete");
    warning.cancelText = QStringLiteral("Cancel");
    bool dontAskAgain = false;
    const bool confirmed = CAlertDialog::showAlert(owner, warning, &dontAskAgain) == AlertResult::Ok;
    if (confirmed && dontAskAgain)
        Preferences::writePhotoDeleteWarning(device, false);
    return confirmed;
}

bool DeleteConfirmation::askAboutLivePhotos(QWidget* owner, std::vector<NodePointer>& items) {
    std::vector<NodePointer> videos;
    QString firstPair;
    for (const NodePointer& item : items) {
        const NodePointer video = PhotoLibrary::livePhotoVideo(*item);
        if (!video || std::find(items.begin(), items.end(), video) != items.end() ||
            std::find(videos.begin(), videos.end(), video) != videos.end())
            continue;
        if (videos.empty())
            firstPair = QStringLiteral("%1 is a Live Photo: its video %2 is beside it.")
                            .arg(toQString(item->name()), toQString(video->name()));
        videos.push_back(video);
    }
    if (videos.empty())
        return true;
    AlertRequest question;
    question.title = QStringLiteral("Live Photos");
    question.info = videos.size() == 1
                        ? firstPair
                        : QStringLiteral("%1 of these photos are Live Photos: their videos are "
                                         "beside them.")
                              .arg(videos.size());
    question.message = QStringLiteral("Delete the videos as well?");
    question.icon = kQuestionIcon;
    question.okText = QStringLiteral("Delete Both");
    question.otherText = QStringLiteral("Photos Only");
    question.cancelText = QStringLiteral("Cancel");
    switch (CAlertDialog::showAlert(owner, question)) {
        case AlertResult::Ok:
            items.insert(items.end(), videos.begin(), videos.end());
            return true;
        case AlertResult::Other:
            return true;
        case AlertResult::Cancel:
            break;
    }
    return false;
}
