#pragma once

#include <functional>

class QWidget;

/**
 * Runs a step that may talk to a device (listing a folder, counting subfolders, reading disk
 * figures) on a worker thread while a busy indicator turns over `over`; returns when the step has
 * ended. Meanwhile the user-interface thread keeps painting and ignores input. The step must not
 * touch widgets, and the caller must not let painting reach the nodes the step uses.
 */
using StepRunner = std::function<void(QWidget* over, const std::function<void()>& step)>;

/** The plain runner: the 60 by 60 indicator in 0xFF333333, centred over `over`. */
void runDeviceStep(QWidget* over, const std::function<void()>& step);
