#include "app/caboutdialog.h"

#include <QDesktopServices>
#include <QLabel>
#include <QUrl>

#include "app/versiontext.h"

CAboutDialog::CAboutDialog(QWidget* owner) : SkinnedDialog(QStringLiteral("about.xml"), owner) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("About"));
    if (auto* version = control<QLabel>(QStringLiteral("aboutVersion")))
        version->setText(QStringLiteral("Version ") + QString::fromStdString(programVersionText()));

    auto& routes = notifications();
    const auto openLink = [](const Notification& link) {
        QDesktopServices::openUrl(QUrl(link.wParam.toString()));
    };
    routes.on(NotificationType::Link, QStringLiteral("urlEmail"), openLink);
    routes.on(NotificationType::Link, QStringLiteral("urlSite"), openLink);
    // The title bar's close button closes the window.
}
