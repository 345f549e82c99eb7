#pragma once

#include <optional>

#include <QString>
#include <QStringList>

class QWidget;

/**
 * Asks for a local folder with the platform's folder dialog, titled "Choose a Folder:", over
 * `owner`, starting where the last choice was made. Nothing when the user cancels or no folder
 * path results. GUI thread only.
 */
std::optional<QString> chooseFolder(QWidget* owner);

/** Asks for local files to copy onto the device, starting where the last choice was made. */
QStringList chooseFilesToAdd(QWidget* owner);
