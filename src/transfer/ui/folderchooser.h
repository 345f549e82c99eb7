#pragma once

#include <optional>

#include <QString>

class QWidget;

/**
 * Asks for a local folder with the platform's folder dialog, titled "Choose a Folder:", over
 * `owner`. Nothing when the user cancels or no folder path results. GUI thread only.
 */
std::optional<QString> chooseFolder(QWidget* owner);
