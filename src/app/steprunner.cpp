#include "app/steprunner.h"

#include <QColor>
#include <QRect>

#include "app/busystep.h"

void runDeviceStep(QWidget* over, const std::function<void()>& step) {
    runUnderBusyIndicator(over, QColor::fromRgba(0xFF333333), true, QRect(0, 0, 60, 60), step);
}
