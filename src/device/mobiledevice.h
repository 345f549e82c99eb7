/*
 * The MobileDevice entry points: the C interface between Plovik and a device library loaded at
 * run time (libplovik-usbmux for real devices, libplovik-sim for simulated ones).
 *
 * Results are 0 on success and non-zero on failure unless stated otherwise. Property-list values
 * are libplist nodes; a node returned by an entry point belongs to the caller (plist_free), a node
 * passed in stays the caller's. Service names, domains and keys are PLIST_STRING nodes; paths are
 * zero-terminated UTF-8 with "/" as separator.
 *
 * Program code never calls these symbols directly: it goes through MobileDevice:: (see
 * mobiledevicecalls.h), which looks every entry point up by name in the loaded library.
 */
#ifndef PLOVIK_DEVICE_MOBILEDEVICE_H
#define PLOVIK_DEVICE_MOBILEDEVICE_H

#include <plist/plist.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define MOBILEDEVICE_API __declspec(dllexport)
#else
#define MOBILEDEVICE_API __attribute__((visibility("default")))
#endif

typedef struct AMDeviceOpaque* AMDeviceRef;
typedef struct AMDeviceNotificationOpaque* AMDeviceNotificationRef;
typedef struct AMDServiceConnectionOpaque* AMDServiceConnectionRef;
typedef struct AFCConnectionOpaque* AFCConnectionRef;
typedef struct AFCDirectoryOpaque* AFCDirectoryRef;
typedef struct AFCDictionaryOpaque* AFCDictionaryRef;
typedef uint64_t AFCFileRef;

/* Messages of the device notification callback. */
enum AMDeviceNotificationMessage {
    kAMDeviceArrived = 1,  /* the device is attached and allows a session */
    kAMDeviceRemoved = 2,  /* the device left; its handle is invalid once the callback returns */
    kAMDeviceNotReady = 3, /* attached, but not (yet) allowing a session: see
                              AMDeviceGetAccessState. Sent again when that state changes; Arrived
                              follows with the same handle once a session is possible. */
};

/* Why an attached device does not (yet) allow a session. */
enum AMDeviceAccessState {
    kAMDeviceAccessReady = 0,
    kAMDeviceAccessLocked = 1,    /* protected by a passcode and locked */
    kAMDeviceAccessUntrusted = 2, /* not paired: the Trust dialog waits for the user */
    kAMDeviceAccessDenied = 3,    /* the user tapped Don't Trust; asked again once replugged */
    kAMDeviceAccessConnecting = 4, /* just attached: the library is still reaching it (pairing,
                                      session); another state follows within seconds */
};

/* AFCFileRefOpen modes, as AFC itself numbers them. ReadWrite creates a missing file but keeps
   an existing one's bytes (writing a shorter file over it leaves the old tail); WriteTruncate
   creates or empties the file. */
enum AFCFileMode {
    kAFCFileModeRead = 1,          /* "r" */
    kAFCFileModeReadWrite = 2,     /* "r+", creates */
    kAFCFileModeWriteTruncate = 3, /* "w", creates, truncates */
    kAFCFileModeReadWriteTruncate = 4, /* "w+", creates, truncates */
    kAFCFileModeAppend = 5,        /* "a", creates */
    kAFCFileModeReadAppend = 6,    /* "a+", creates */
};

/* AFCFileRefSeek origins. */
enum AFCSeekOrigin { kAFCSeekFromStart = 0, kAFCSeekFromEnd = 2 };

typedef struct AMDeviceNotificationInfo {
    AMDeviceRef device;
    uint32_t message; /* an AMDeviceNotificationMessage */
} AMDeviceNotificationInfo;

/* Called on a thread of the library, one call at a time, in the order of the events. */
typedef void (*AMDeviceNotificationCallback)(const AMDeviceNotificationInfo* info, void* context);

/* Device notifications. The callback receives Arrived (or NotReady, then Arrived) for each
   attached device and Removed when it leaves. unused0 and unused1 are 0. */
MOBILEDEVICE_API int AMDeviceNotificationSubscribe(AMDeviceNotificationCallback callback,
                                                   uint32_t unused0, uint32_t unused1,
                                                   void* context,
                                                   AMDeviceNotificationRef* outNotification);

/* Connection and lockdown session around every piece of work on a device. */
MOBILEDEVICE_API int AMDeviceConnect(AMDeviceRef device);
MOBILEDEVICE_API int AMDeviceDisconnect(AMDeviceRef device);
MOBILEDEVICE_API int AMDeviceStartSession(AMDeviceRef device);
MOBILEDEVICE_API int AMDeviceStopSession(AMDeviceRef device);

/* A lockdown value, or null. domain may be null. Inside a session; a device that is not ready
   answers without one, in the default domain, the values it tells any host (DeviceName,
   ProductType, ProductVersion, UniqueDeviceID... as far as it gives them), and nothing else. */
MOBILEDEVICE_API plist_t AMDeviceCopyValue(AMDeviceRef device, plist_t domain, plist_t key);

/* The device's UniqueDeviceID as a PLIST_STRING, known without a session; null on failure. */
MOBILEDEVICE_API plist_t AMDeviceCopyDeviceIdentifier(AMDeviceRef device);

/* An AMDeviceAccessState; -1 for an invalid handle. */
MOBILEDEVICE_API int AMDeviceGetAccessState(AMDeviceRef device);

/* Starts a service inside a session. outWord may be null. The secure form is tried by callers
   when the plain one fails; options is null. */
MOBILEDEVICE_API int AMDeviceStartService(AMDeviceRef device, plist_t serviceName,
                                          AMDServiceConnectionRef* outService, uint32_t* outWord);
MOBILEDEVICE_API int AMDeviceSecureStartService(AMDeviceRef device, plist_t serviceName,
                                                plist_t options,
                                                AMDServiceConnectionRef* outService);

/* Byte stream of a service connection. Send returns the count sent, Receive the count received
   (0 when the peer closed the connection); both return a negative value on error. Receive waits
   at most the connection's receive time-out (30 s unless set) and then fails. Invalidate closes
   the connection and frees the handle; an AFC connection opened on it must be closed first. */
MOBILEDEVICE_API int64_t AMDServiceConnectionSend(AMDServiceConnectionRef service,
                                                  const void* bytes, size_t length);
MOBILEDEVICE_API int64_t AMDServiceConnectionReceive(AMDServiceConnectionRef service, void* buffer,
                                                     size_t length);
MOBILEDEVICE_API int AMDServiceConnectionSetReceiveTimeout(AMDServiceConnectionRef service,
                                                           uint32_t milliseconds);
MOBILEDEVICE_API int AMDServiceConnectionInvalidate(AMDServiceConnectionRef service);

/* AFC over a service connection (afc, afc2, or a vended house arrest connection). ioTimeout is 0. */
MOBILEDEVICE_API int AFCConnectionOpen(AMDServiceConnectionRef service, uint32_t ioTimeout,
                                       AFCConnectionRef* outConnection);
MOBILEDEVICE_API int AFCConnectionClose(AFCConnectionRef connection);

/* Listing: Read yields each name (owned by the directory, valid until the next Read or Close),
   then a null name at the end. "." and ".." may be among the names. */
MOBILEDEVICE_API int AFCDirectoryOpen(AFCConnectionRef connection, const char* path,
                                      AFCDirectoryRef* outDirectory);
MOBILEDEVICE_API int AFCDirectoryRead(AFCConnectionRef connection, AFCDirectoryRef directory,
                                      char** outName);
MOBILEDEVICE_API int AFCDirectoryClose(AFCConnectionRef connection, AFCDirectoryRef directory);

/* File information as key/value texts; a null key ends the pairs. Texts are owned by info. */
MOBILEDEVICE_API int AFCFileInfoOpen(AFCConnectionRef connection, const char* path,
                                     AFCDictionaryRef* outInfo);
MOBILEDEVICE_API int AFCKeyValueRead(AFCDictionaryRef info, char** outKey, char** outValue);
MOBILEDEVICE_API int AFCKeyValueClose(AFCDictionaryRef info);

/* Called by AFCFileInfoStream once for each path answered, on the calling thread: index in
   paths, 0 with the information (read with AFCKeyValueRead; owned by the library and valid only
   during the call, never closed by the handler), or the device's failure for that path with
   info null. */
typedef void (*AFCFileInfoHandler)(void* context, size_t index, int result, AFCDictionaryRef info);
/* The file information of count paths in one stream: the requests go out without waiting for
   each other's replies, as many at once as a bound of bytes in flight allows, and the device
   answers them in order. A device that answers out of order or fails requests sent ahead gets
   one request at a time on the connection from then on. Paths are answered in any order. 0 once
   every path was handed to the handler, else the failure that ended the stream (the paths not
   handed over have no answer). */
MOBILEDEVICE_API int AFCFileInfoStream(AFCConnectionRef connection, const char* const* paths,
                                       size_t count, AFCFileInfoHandler handler, void* context);

/* Called by AFCFileContentsStream once for each file, on the calling thread: index in paths, 0
   with the file's whole contents (owned by the library, valid only during the call), or the
   failure for that file with length 0: the device's, or 13 (AFC's TOO_MUCH_DATA) for a file
   longer than the largest size asked for. */
typedef void (*AFCFileContentsHandler)(void* context, size_t index, int result, const void* bytes,
                                       uint64_t length);
/* The whole contents of count small files in one stream, each expected to hold about
   expectedSizes[index] bytes (its listed size; the file is read to its end whatever it holds, up
   to largest bytes): the opens, reads and closes of many files go out without waiting for each
   other's replies, as AFCFileInfoStream's requests do, with the same fallback to one request at
   a time. Files are answered in any order. 0 once every file was handed to the handler, else the
   failure that ended the stream (the files not handed over have no answer). */
MOBILEDEVICE_API int AFCFileContentsStream(AFCConnectionRef connection, const char* const* paths,
                                           const uint64_t* expectedSizes, size_t count,
                                           uint64_t largest, AFCFileContentsHandler handler,
                                           void* context);

/* Called by AFCFilePartStream once for each file, on the calling thread: index in paths, 0 with
   the file's size on the device and the bytes read from its offset on (owned by the library,
   valid only during the call; fewer than asked where the file ends first), or the failure for
   that file with size and length 0. */
typedef void (*AFCFilePartHandler)(void* context, size_t index, int result, uint64_t size,
                                   const void* bytes, uint64_t length);
/* Up to lengths[index] bytes from offsets[index] on of each of count files, with each file's
   size, in one stream: every file's information, open, seek, reads and close go out without
   waiting for other files' replies, with the bound and the fallback of AFCFileInfoStream. Files
   are answered in any order. 0 once every file was handed to the handler, else the failure that
   ended the stream (the files not handed over have no answer). */
MOBILEDEVICE_API int AFCFilePartStream(AFCConnectionRef connection, const char* const* paths,
                                       const uint64_t* offsets, const uint64_t* lengths,
                                       size_t count, AFCFilePartHandler handler, void* context);

/* One small file for AFCFileWriteStream: its bytes go to stagedPath (created, or emptied), which
   takes modificationTime (nanoseconds since 1970 UTC; 0 for none, and a device may refuse it)
   and then the name path, unless something is at path already. */
typedef struct AFCFileWrite {
    const char* path;
    const char* stagedPath;
    const void* bytes;
    uint64_t length;
    uint64_t modificationTime;
} AFCFileWrite;
/* Called by AFCFileWriteStream once for each file, on the calling thread: index in files, 0 once
   the file is at its path, 16 (AFC's OBJECT_EXISTS) or 9 (OBJECT_IS_DIR) when something was
   there and was kept, or the device's failure; stagedLeft when its staged file may still be
   there. */
typedef void (*AFCFileWriteHandler)(void* context, size_t index, int result, int stagedLeft);
/* Writes count small files in one stream, the requests of many files going out without waiting
   for each other's replies, with the fallback of AFCFileInfoStream; nothing is at a file's path
   before all its bytes were written. Files are answered in any order. 0 once every file was
   handed to the handler, else the failure that ended the stream (the files not handed over may
   have left their staged files). */
MOBILEDEVICE_API int AFCFileWriteStream(AFCConnectionRef connection, const AFCFileWrite* files,
                                        size_t count, AFCFileWriteHandler handler,
                                        void* context);

MOBILEDEVICE_API int AFCDirectoryCreate(AFCConnectionRef connection, const char* path);
MOBILEDEVICE_API int AFCRemovePath(AFCConnectionRef connection, const char* path);
MOBILEDEVICE_API int AFCRenamePath(AFCConnectionRef connection, const char* oldPath,
                                   const char* newPath);
/* Sets the modification time of path, in nanoseconds since 1970 UTC (AFC's SetFileTime); a
   device may refuse it. */
MOBILEDEVICE_API int AFCSetFileTime(AFCConnectionRef connection, const char* path,
                                    uint64_t nanoseconds);

/* Files. mode is an AFCFileMode, reserved is 0. Read takes the buffer size in *length and leaves
   the count read there (0 at the end of the file). */
MOBILEDEVICE_API int AFCFileRefOpen(AFCConnectionRef connection, const char* path, uint64_t mode,
                                    int reserved, AFCFileRef* outFile);
MOBILEDEVICE_API int AFCFileRefRead(AFCConnectionRef connection, AFCFileRef file, void* buffer,
                                    uint32_t* length);
MOBILEDEVICE_API int AFCFileRefWrite(AFCConnectionRef connection, AFCFileRef file,
                                     const void* buffer, uint32_t length);
MOBILEDEVICE_API int AFCFileRefSeek(AFCConnectionRef connection, AFCFileRef file, int64_t offset,
                                    uint64_t origin);
MOBILEDEVICE_API int AFCFileRefTell(AFCConnectionRef connection, AFCFileRef file,
                                    uint64_t* outPosition);
MOBILEDEVICE_API int AFCFileRefClose(AFCConnectionRef connection, AFCFileRef file);

#ifdef __cplusplus
}
#endif

#endif
