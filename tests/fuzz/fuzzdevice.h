#pragma once

#include "device/fakemobiledevice.h"

/**
 * The process's one FakeMobileDevice, installed as the MobileDevice library for the targets
 * that drive the core through it; made once, as attaching a device costs more than a run.
 */
FakeMobileDevice& fuzzDevice();
