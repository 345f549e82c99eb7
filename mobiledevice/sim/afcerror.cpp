#include "afcerror.h"

#include <cerrno>

namespace plovik::sim {

int afcErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return kAfcSuccess;
        case ENOENT:
        case ENOTDIR:
            return kAfcObjectNotFound;
        case EEXIST:
            return kAfcObjectExists;
        case ENOTEMPTY:
            return kAfcDirectoryNotEmpty;
        case EISDIR:
            return kAfcObjectIsDirectory;
        case EACCES:
        case EPERM:
        case EROFS:
        case ELOOP:
        case EXDEV:
            return kAfcPermissionDenied;
        case ENOSPC:
        case EDQUOT:
            return kAfcNoSpaceLeft;
        case EBUSY:
        case ETXTBSY:
            return kAfcObjectBusy;
        case EINVAL:
        case ENAMETOOLONG:
            return kAfcInvalidArgument;
        case ENOMEM:
            return kAfcNoMemory;
        case EIO:
            return kAfcIoError;
        default:
            return kAfcUnknown;
    }
}

}  // namespace plovik::sim
