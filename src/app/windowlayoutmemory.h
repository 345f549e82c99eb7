#pragma once

class QWidget;

/**
 * A window's size, place and maximised state and the positions of its named splitters, kept in
 * the settings ("layout/…") across runs. GUI thread.
 */
namespace WindowLayoutMemory {

/** Puts back what save stored; false when nothing was stored for the window. */
bool restore(QWidget& window);
void save(const QWidget& window);

}  // namespace WindowLayoutMemory
