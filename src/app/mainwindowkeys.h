#pragma once

#include <QObject>

class CListviewControl;
class CMainWindow;

/**
 * The main window's keys and mouse buttons, as desktop file managers have them: F2 renames, F5
 * and Ctrl+R list the folder again, Backspace and Alt+Left go back, Alt+Right forward, Alt+Up to
 * the parent folder, Ctrl+Shift+N makes a folder, Ctrl+1 to Ctrl+6 pick the view style, and the
 * mouse's back and forward buttons go back and forward. In the file list, Enter opens the
 * selected folder and Escape clears the selection.
 */
class MainWindowKeys : public QObject {
public:
    MainWindowKeys(CMainWindow& window, CListviewControl* list);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openSelectedFolder();

    CMainWindow& window_;
    CListviewControl* list_;
};
