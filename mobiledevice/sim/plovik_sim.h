/*
 * Control entry points of the simulator library (libplovik-sim): tests and the demo attach and
 * detach simulated devices and make the library misbehave on purpose. Looked up by name like
 * the MobileDevice entry points.
 *
 * A simulated device is a folder:
 *   device.plist           lockdown values: top-level keys (DeviceName, UniqueDeviceID, ...) and
 *                          one dictionary per domain ("com.apple.mobile.battery", ...). The
 *                          optional key AccessState ("Ready", "Locked", "Untrusted") sets the
 *                          access state the device starts in; it is not a lockdown value.
 *   Media/                 served as "com.apple.afc"
 *   Root/                  served as "com.apple.afc2"; without it the service is refused
 *   Apps/<bundle id>/Info.plist   the app's dictionary in installation-proxy replies
 *   Apps/<bundle id>/Container/   the folder house arrest vends for the app
 * The served folders may themselves be links; below them every path is confined to the folder.
 *
 * Services: "com.apple.mobile.installation_proxy" answers Browse (pages of
 * {Status:"BrowsingApplications", CurrentIndex, CurrentAmount, Total, CurrentList}, then
 * {Status:"Complete"}; ClientOptions.ApplicationType "User", "System" or "Any", an app without
 * ApplicationType counting as "User"). "com.apple.mobile.house_arrest" answers VendContainer
 * (AFC over the app's Container as "/") and VendDocuments (AFC over the Container where only
 * "/Documents" is reachable). Their errors: UnknownCommand, InvalidRequest (not a dictionary),
 * MissingIdentifier, ApplicationLookupFailed.
 *
 * AFC: listings are ".", ".." and then the names, sorted. Paths never leave the served folder:
 * ".." above it, and symbolic links with an absolute target or leading out, are refused (10).
 * A link's LinkTarget is the device path it leads to when that stays inside, else its text.
 * Read fills the buffer unless the file ends first. Once the device is removed, AFC calls
 * fail with 30.
 *
 * Making an entry point missing is not the library's business: tests do that with a resolver of
 * their own.
 *
 * The control entry points return 0 on success or a PlovikSimResult.
 */
#ifndef PLOVIK_SIM_PLOVIK_SIM_H
#define PLOVIK_SIM_PLOVIK_SIM_H

#include "device/mobiledevice.h"

#ifdef __cplusplus
extern "C" {
#endif

enum PlovikSimResult {
    kPlovikSimOk = 0,
    kPlovikSimBadArgument = 1,     /* null or unknown name, value out of range */
    kPlovikSimNoSuchDevice = 2,    /* no attached device has this UniqueDeviceID */
    kPlovikSimBadDeviceFolder = 3, /* no folder, unreadable device.plist, no UniqueDeviceID */
    kPlovikSimAlreadyAttached = 4, /* a device with this UniqueDeviceID is attached */
};

/* Attaches the device in folder. Subscribers get Arrived, or NotReady when its AccessState is
   not ready, on the library's notification thread. */
MOBILEDEVICE_API int PlovikSimAttach(const char* folder);

/* Detaches the device: subscribers get Removed, its open services are cut, and every later call
   with its handle, or with connections made through it, fails. */
MOBILEDEVICE_API int PlovikSimDetach(const char* udid);

/* Sets the access state (an AMDeviceAccessState). Becoming ready sends Arrived for the same
   handle; ceasing to be ready sends NotReady. Sessions already started stay open. */
MOBILEDEVICE_API int PlovikSimSetAccessState(const char* udid, int state);

/* Makes the named MobileDevice entry point fail with result (value entry points return null,
   the byte-count ones return result as their count); 0 clears the fault. */
MOBILEDEVICE_API int PlovikSimSetFault(const char* entryPoint, int result);

/* refuse non-zero: starting the named service fails on every device; 0 allows it again. */
MOBILEDEVICE_API int PlovikSimRefuseService(const char* serviceName, int refuse);

/* Service replies are written in pieces of this many bytes with a short pause between them,
   so that clients must reassemble them; 0 writes each reply at once. */
MOBILEDEVICE_API int PlovikSimSetReplyChunking(size_t bytesPerPiece);

/* stall non-zero: service servers read requests but hold their replies until stall is set to
   0 again (for receive time-outs). */
MOBILEDEVICE_API int PlovikSimStallReplies(int stall);

/* What PlovikSimStallFileOperations holds: file reads and writes, and removals. */
enum PlovikSimFileOperations {
    kPlovikSimFileData = 1,
    kPlovikSimRemovals = 2,
};

/* operations, a mask of PlovikSimFileOperations: those AFC calls wait until they are no longer
   in the mask, or until the service connection their AFC connection was opened on is
   invalidated, which fails them (a copy or a delete stuck on a device that answers no more);
   0 lets every call go on. */
MOBILEDEVICE_API int PlovikSimStallFileOperations(int operations);

/* How many apps each BrowsingApplications reply carries (at least 1; 20 by default). */
MOBILEDEVICE_API int PlovikSimSetBrowsePageSize(int apps);

/* Makes house arrest answer command ("VendContainer" or "VendDocuments") with
   {Error: errorName}; a null errorName clears the refusal. */
MOBILEDEVICE_API int PlovikSimSetHouseArrestRefusal(const char* command, const char* errorName);

/* Waits until every queued notification has been delivered. From inside a notification
   callback it returns at once. */
MOBILEDEVICE_API int PlovikSimFlushNotifications(void);

/* Detaches every device (subscribers get Removed), waits for the notifications, forgets every
   subscriber and clears every fault and setting. */
MOBILEDEVICE_API void PlovikSimReset(void);

#ifdef __cplusplus
}
#endif

#endif
