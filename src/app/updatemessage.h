#pragma once

#include <QMessageBox>

#include "app/updatechecker.h"

/**
 * Tells the user what an update check found: that the program is up to date, that a newer
 * version is available (with a link to it, opened in the browser), or why the check failed.
 */
class UpdateMessage : public QMessageBox {
    Q_OBJECT

public:
    UpdateMessage(const UpdateCheckResult& result, QWidget* parent = nullptr);
};
