#ifndef PLOVIK_SIM_SIMERROR_H
#define PLOVIK_SIM_SIMERROR_H

namespace plovik::sim {

// Results of the device and service entry points. Where lockdown has a name for the failure,
// the code is the one a lockdown client reports for it.
enum SimError : int {
    kSimSuccess = 0,
    kSimInvalidHandle = -2,  // no live object behind the handle (removed device, closed service)
    kSimInvalidArgument = -3,
    kSimNotConnected = -4,
    kSimTimedOut = -5,
    kSimIoError = -6,
    kSimNotSupported = -7,        // the call does not apply to this kind of service
    kSimPasswordProtected = -17,  // the device is locked
    kSimInvalidHostId = -21,      // the device does not trust this computer
    kSimSessionInactive = -23,
    kSimInvalidService = -27,
    kSimServiceProhibited = -34,
};

}  // namespace plovik::sim

#endif
