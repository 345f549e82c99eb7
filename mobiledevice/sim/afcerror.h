#ifndef PLOVIK_SIM_AFCERROR_H
#define PLOVIK_SIM_AFCERROR_H

namespace plovik::sim {

// Results of the AFC entry points: the codes a device (or, for 30 and above, its client
// library) reports.
enum AfcError : int {
    kAfcSuccess = 0,
    kAfcUnknown = 1,
    kAfcReadError = 4,
    kAfcWriteError = 5,
    kAfcInvalidArgument = 7,
    kAfcObjectNotFound = 8,
    kAfcObjectIsDirectory = 9,
    kAfcPermissionDenied = 10,
    kAfcTooMuchData = 13,
    kAfcObjectExists = 16,
    kAfcObjectBusy = 17,
    kAfcNoSpaceLeft = 18,
    kAfcIoError = 20,
    kAfcDeviceGone = 30,  // the connection to the device is lost
    kAfcNoMemory = 31,
    kAfcDirectoryNotEmpty = 33,
};

// The AFC code a device reports for a failed file-system call with this errno.
int afcErrorFromErrno(int error);

}  // namespace plovik::sim

#endif
