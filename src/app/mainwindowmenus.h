#pragma once

#include <memory>

#include "ui/menudelegate.h"

class CMainWindow;
class PopupMenu;
class QWidget;
class UpdateChecker;

/**
 * The main window's pop-up menus (main, view style, import, file) and what their items run: the
 * file commands, the view styles, the preferences, the update check, the about dialog and the
 * web site. A chosen item runs once its menu has closed.
 */
class MainWindowMenus : public MenuDelegate {
public:
    /** window owns the menus' widgets and must outlive this. */
    explicit MainWindowMenus(CMainWindow& window);
    ~MainWindowMenus() override;

    /** Runs a menu command once its menu has closed. */
    void menuItemChosen(const QString& menuFile, const QString& itemName) override;

    void popupMainMenu(const QWidget* button);
    void popupImportMenu(const QWidget* button);
    /** Opens the view-style menu with the stored style checked. */
    void popupViewStyleMenu(const QWidget* button);
    /** The menu of a right click in the file list. */
    PopupMenu& fileMenu() { return *fileMenu_; }

private:
    void runMenuCommand(const QString& menuFile, const QString& itemName);
    void runFileCommand(const QString& itemName);

    CMainWindow& window_;
    std::unique_ptr<PopupMenu> mainMenu_;
    std::unique_ptr<PopupMenu> viewStyleMenu_;
    std::unique_ptr<PopupMenu> importMenu_;
    std::unique_ptr<PopupMenu> fileMenu_;
    UpdateChecker* updateChecker_ = nullptr;
};
