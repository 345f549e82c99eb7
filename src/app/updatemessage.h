#pragma once

#include <QMessageBox>

#include "app/updatechecker.h"

/**
 * Tells the user what an update check found: that the program is up to date, or that a newer
 * version is available (with a link to it, opened in the browser).
 */
class UpdateMessage : public QMessageBox {
    Q_OBJECT

public:
    UpdateMessage(const UpdateCheckResult& result, QWidget* parent = nullptr);

    /** Shows what the check found modally; a failed check is told in the error alert. */
    static void show(const UpdateCheckResult& result, QWidget* parent);
};
