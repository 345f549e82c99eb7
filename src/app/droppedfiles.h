#pragma once

#include <QStringList>

class QMimeData;

/**
 * The local files and folders a drop carries (its file URLs); empty for anything else, the
 * window's own device items among it.
 */
QStringList droppedLocalFiles(const QMimeData* mime);
