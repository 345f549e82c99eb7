#include "app/mainwindowmenus.h"

#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <array>

#include "app/caboutdialog.h"
#include "app/cmainwindow.h"
#include "app/filecommands.h"
#include "app/preferences.h"
#include "app/updatechecker.h"
#include "app/updatemessage.h"
#include "app/versiontext.h"
#include "app/viewstyle.h"
#include "transfer/ui/transferprompts.h"
#include "ui/popupmenu.h"

namespace {

// The maker's web site, "Visit Website".
const char* const kWebsite = "https://orvane.example/plovik";

const QString kMainMenu = QStringLiteral("mainmenu.xml");
const QString kViewStyleMenu = QStringLiteral("viewstylemenu.xml");
const QString kImportMenu = QStringLiteral("importmenu.xml");
const QString kFileMenu = QStringLiteral("filemenu.xml");

// The items of the file and import menus that run a file command.
constexpr std::array<const char*, 6> kFileMenuItems{"download",    "rename",          "delete",
                                                    "uploadFiles", "uploadDirectory", "newfolder"};

constexpr std::array<ViewStyle, 6> kViewStyles{ViewStyle::Details,    ViewStyle::SmallIcons,
                                               ViewStyle::LargeIcons, ViewStyle::List,
                                               ViewStyle::Tiles,      ViewStyle::ExtraLargeIcons};

}  // namespace

MainWindowMenus::MainWindowMenus(CMainWindow& window)
    : window_(window),
      mainMenu_(std::make_unique<PopupMenu>(kMainMenu, *this, &window)),
      viewStyleMenu_(std::make_unique<PopupMenu>(kViewStyleMenu, *this, &window)),
      importMenu_(std::make_unique<PopupMenu>(kImportMenu, *this, &window)),
      fileMenu_(std::make_unique<PopupMenu>(kFileMenu, *this, &window)),
      updateChecker_(new UpdateChecker(QString::fromStdString(programVersion()), &window)) {
    QObject::connect(
        updateChecker_, &UpdateChecker::finished, &window,
        [&window](const UpdateCheckResult& result) { UpdateMessage::show(result, &window); });
}

MainWindowMenus::~MainWindowMenus() = default;

void MainWindowMenus::popupMainMenu(const QWidget* button) {
    mainMenu_->popup(button, MenuPlacement::BelowRightExtendingLeft);
}

void MainWindowMenus::popupImportMenu(const QWidget* button) {
    importMenu_->popup(button, MenuPlacement::BelowLeftExtendingRight);
}

void MainWindowMenus::popupViewStyleMenu(const QWidget* button) {
    const ViewStyle stored =
        viewStyleFromCode(Preferences::readViewStyle()).value_or(ViewStyle::Details);
    for (const ViewStyle style : kViewStyles)
        viewStyleMenu_->setItemChecked(viewStyleMenuItem(style), style == stored);
    viewStyleMenu_->popup(button, MenuPlacement::BelowRightExtendingLeft);
}

void MainWindowMenus::menuItemChosen(const QString& menuFile, const QString& itemName) {
    // Deferred: a dialog opened while the menu still closes would fight it for the input.
    QTimer::singleShot(0, &window_,
                       [this, menuFile, itemName] { runMenuCommand(menuFile, itemName); });
}

void MainWindowMenus::runMenuCommand(const QString& menuFile, const QString& itemName) {
    const bool fileCommand =
        std::any_of(kFileMenuItems.begin(), kFileMenuItems.end(),
                    [&](const char* item) { return itemName == QLatin1String(item); });
    if (fileCommand && (menuFile == kFileMenu || menuFile == kImportMenu)) {
        runFileCommand(itemName);
    } else if (menuFile == kViewStyleMenu) {
        window_.chooseViewStyle(itemName);
    } else if (menuFile != kMainMenu) {
        return;
    } else if (itemName == QStringLiteral("mmPreferences")) {
        window_.showPreferences();
    } else if (itemName == QStringLiteral("mmCheckUpdates")) {
        updateChecker_->check();
    } else if (itemName == QStringLiteral("mmAbout")) {
        CAboutDialog(&window_).exec();
    } else if (itemName == QStringLiteral("mmWebsite")) {
        TransferPrompts::openPage(&window_, QUrl(QString::fromLatin1(kWebsite)));
    }
}

void MainWindowMenus::runFileCommand(const QString& itemName) {
    FileCommands& commands = window_.fileCommands();
    if (itemName == QStringLiteral("download"))
        commands.download();
    else if (itemName == QStringLiteral("rename"))
        commands.rename();
    else if (itemName == QStringLiteral("delete"))
        commands.deleteSelection();
    else if (itemName == QStringLiteral("uploadFiles"))
        commands.uploadFiles();
    else if (itemName == QStringLiteral("uploadDirectory"))
        commands.uploadDirectory();
    else if (itemName == QStringLiteral("newfolder"))
        commands.newFolder();
}
