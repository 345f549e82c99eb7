#pragma once

#include "ui/skinneddialog.h"

/**
 * The about dialog ("about.xml"): the program's version, and the maker's addresses, which open in
 * the desktop's mail program or browser. Modal over its owner.
 */
class CAboutDialog : public SkinnedDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* owner);
};
