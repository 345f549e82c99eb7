#!/usr/bin/env bash
# Debian's own clients (libimobiledevice-utils, ideviceinstaller, ifuse), then plovik-cli through
# libplovik-usbmux, libimobiledevice and libusbmuxd, against plovik-devemu on a socket in a
# temporary folder: the real wire protocols end to end, then the fault drills.
# Usage: devemu_test.sh PLOVIK_DEVEMU PLOVIK_CLI DEMO_DEVICE_FOLDER [PLOVIK]
set -u
emulator=$1
cli=$2
program=${4:-}
work=$(mktemp -d)
trap 'fusermount -u "$work/mnt" 2>/dev/null; stopEmulator; rm -rf "$work"' EXIT
cp -a "$3" "$work/device"
source "$(dirname "$0")/emulatorrun.sh"

cliCommand=("$cli")
source "$(dirname "$0")/clichecks.sh"

# runTool EXIT_CODE PROGRAM ARGS...: one of Debian's own clients, bounded in time, its output in
# $work/out; another exit code fails the script.
runTool() {
    local code=$1
    shift
    timeout 60 "$@" >"$work/out" 2>"$work/err"
    local actual=$?
    if [[ $actual != "$code" ]]; then
        echo "FAIL: $* gave exit $actual (wanted $code):"
        cat "$work/out" "$work/err"
        failed=1
    fi
}

# The emulator is wrong wherever Debian's clients and it disagree. By default the device is
# unpaired: the first ideviceinfo pairs from scratch (the device's key, Pair, SavePairRecord),
# and every session runs inside TLS.
startEmulator --stats "$work/stats"
runTool 0 ideviceinfo -k ProductVersion
check '[[ $(<"$work/out") == 17.1 ]]'
runTool 0 idevicepair validate
check 'grep -q "^SUCCESS: Validated pairing" "$work/out"'
# The whole domain, session-only values included.
runTool 0 ideviceinfo
check 'grep -qx "DeviceName: Demo iPhone" "$work/out" && grep -qx "SerialNumber: F2LDEMO0Q6L9" "$work/out"'
# The device's clock, in the whole domain and asked alone, tells the time now.
check 'grep -q "^TimeIntervalSince1970: [0-9]" "$work/out"'
runTool 0 ideviceinfo -k TimeIntervalSince1970
check 'clock=$(<"$work/out"); (( ${clock%.*} > $(date +%s) - 60 && ${clock%.*} < $(date +%s) + 60 ))'
runTool 0 ideviceinstaller -l
check 'grep -qx "com.example.notes, \"412\", \"Notes Demo\"" "$work/out"'
mkdir "$work/mnt"
if [[ -e /dev/fuse ]] && timeout 30 ifuse "$work/mnt" 2>"$work/err"; then
    check 'ls "$work/mnt/DCIM" | grep -qx 100APPLE'
    check 'cmp -s "$work/mnt/DCIM/100APPLE/IMG_0001.JPG" "$work/device/Media/DCIM/100APPLE/IMG_0001.JPG"'
    fusermount -u "$work/mnt" || { echo "FAIL: fusermount -u"; failed=1; }
else
    echo "NOTE: FUSE is not usable here, ifuse not checked: $(head -1 "$work/err")"
fi
stopEmulator
# A client that read the version first asks for TLS 1.2 or later and gets 1.3.
check 'grep -q "^tls-version TLSv1.3 [1-9]" "$work/stats" && ! grep -q "^tls-version TLSv1\.[012] " "$work/stats"'
startEmulator --fault tls13-only
runTool 0 idevicepair validate
check 'grep -q "^SUCCESS: Validated pairing" "$work/out"'

# With --state the pairing outlives the run, as usbmuxd keeps pair records and the phone its
# trust: a later run validates with the pair record unchanged, and unpairing forgets both.
startEmulator --state "$work/state"
runTool 0 idevicepair pair
cp -r "$work/state" "$work/state-paired"
startEmulator --state "$work/state"
runTool 0 idevicepair validate
check 'grep -q "^SUCCESS: Validated pairing" "$work/out"'
check '"$cli" devices | grep -q "ready$"'
check 'diff -r "$work/state" "$work/state-paired" >/dev/null'
runTool 0 idevicepair unpair
check '[[ -z $(find "$work/state" -type f) ]]'

# The user's hand with Debian's idevicepair: each drill refuses Pair until SIGHUP.
for drill in "trust-pending:accept the trust dialog" "deny-trust:denied the trust dialog" \
             "locked:a passcode is set"; do
    startEmulator --fault "${drill%%:*}"
    runTool 1 idevicepair pair
    check 'grep -q "${drill#*:}" "$work/out"'
    kill -HUP "$emulatorPid"
    sleep 0.2
    runTool 0 idevicepair pair
    runTool 0 ideviceinfo -k ProductVersion
done

startEmulator --link usb3
expect 0 0 devices
check 'grep -q "Demo iPhone.*ready" "$work/out"'
# The emulator's first large copy finds its heap ready, as its later ones do. A fresh heap would
# fault in the pages of the first replies while the host waits (milliseconds on a virtual
# machine), a cost no device has: its services run long before a host comes. Counted in the
# normal build only: under a sanitizer its allocator, not glibc's heap, serves the emulator.
minorFaults() { awk '{print $10}' "/proc/$emulatorPid/stat"; }
faultsBefore=$(minorFaults)
expect 0 0 pull /Media/DCIM/100APPLE/IMG_0006.MOV "$work/first"
if [[ -z ${PLOVIK_DEVEMU_SANITIZED:-} ]]; then
    check '(( $(minorFaults) - faultsBefore < 128 ))'
fi
expect 0 0 info
check 'grep -qx "BatteryCurrentCapacity: 76" "$work/out" && grep -q "^Capacity: " "$work/out"'
expect 0 0 apps
check 'grep -q "^com.example.notes	Notes Demo$" "$work/out"'
expect 0 0 ls -l /Media/DCIM/100APPLE
check 'grep -q "^-     67108864 .* IMG_0006.MOV$" "$work/out"'
expect 0 0 ls "/Applications/Notes Demo/Documents"
check 'grep -qx Shopping.txt "$work/out"'
expect 1 1 ls /Media/missing
expect 0 0 ls /Root/private/etc
check 'grep -qx hosts "$work/out"'

# A round trip: push a tree up, pull it back, compare; then rename and remove it.
mkdir -p "$work/up/Trip/sub/deeper" "$work/up/Trip/empty" "$work/down"
head -c 5000000 /dev/urandom >"$work/up/Trip/big.bin"
echo note >"$work/up/Trip/sub/deeper/note.txt"
expect 0 0 mkdir /Media/Inbox
expect 0 0 push "$work/up/Trip" /Media/Inbox
check 'diff -r "$work/up/Trip" "$work/device/Media/Inbox/Trip"'
expect 0 0 pull /Media/Inbox/Trip "$work/down"
check 'diff -r "$work/up/Trip" "$work/down/Trip"'
expect 0 0 pull /Media/DCIM/100APPLE/IMG_0006.MOV "$work/down"
check 'cmp -s "$work/device/Media/DCIM/100APPLE/IMG_0006.MOV" "$work/down/IMG_0006.MOV"'
# Dates survive both ways (AFC st_mtime, SetFileTime).
touch -d "2021-05-01 12:34:56.789" "$work/device/Media/DCIM/100APPLE/IMG_0001.JPG" \
    "$work/up/Trip/sub/deeper/note.txt"
expect 0 0 pull /Media/DCIM/100APPLE/IMG_0001.JPG "$work/down"
check '[[ $(stat -c %y "$work/down/IMG_0001.JPG") == \
      $(stat -c %y "$work/device/Media/DCIM/100APPLE/IMG_0001.JPG") ]]'
expect 0 0 push "$work/up/Trip/sub/deeper/note.txt" /Media/Inbox
check '[[ $(stat -c %y "$work/device/Media/Inbox/note.txt") == \
      $(stat -c %y "$work/up/Trip/sub/deeper/note.txt") ]]'
# An import through the real-device library, HEIC photos as JPEGs; the next one finds nothing new.
XDG_DATA_HOME=$work/importdata expect 0 0 import --heic-to-jpeg "$work/imported"
check 'grep -q ", 0 imported before; [0-9]* copied, 0 skipped, 0 failed" "$work/out"'
check '[[ -f "$work/imported/IMG_0007.JPG" && ! -e "$work/imported/IMG_0007.HEIC" ]]'
XDG_DATA_HOME=$work/importdata expect 0 0 import "$work/imported"
check 'grep -q ", 0 new, [0-9]* imported before; 0 copied" "$work/out"'
expect 0 0 mv /Media/Inbox/Trip /Media/Inbox/Renamed
check '[[ -f "$work/device/Media/Inbox/Renamed/big.bin" && ! -e "$work/device/Media/Inbox/Trip" ]]'
expect 0 0 rm -r /Media/Inbox
check '[[ ! -e "$work/device/Media/Inbox" && -d "$work/device/Media/DCIM" ]]'
# The camera roll: removing there needs --force, as the Photos app keeps its own library; a copy
# into it is told that the Photos app will not show it, and goes on.
cp "$work/device/Media/DCIM/100APPLE/IMG_0002.JPG" "$work/up/IMG_0099.JPG"
expect 0 1 push "$work/up/IMG_0099.JPG" /Media/DCIM/100APPLE
check 'grep -q "warning: .*Photos app will not show" "$work/err" &&
       [[ -f "$work/device/Media/DCIM/100APPLE/IMG_0099.JPG" ]]'
expect 1 1 rm /Media/DCIM/100APPLE/IMG_0099.JPG
check 'grep -q "use --force" "$work/err" && [[ -f "$work/device/Media/DCIM/100APPLE/IMG_0099.JPG" ]]'
expect 0 0 rm --force /Media/DCIM/100APPLE/IMG_0099.JPG
check '[[ ! -e "$work/device/Media/DCIM/100APPLE/IMG_0099.JPG" ]]'
# Unplugged and plugged in again.
kill -USR1 "$emulatorPid"
sleep 0.3
expect 0 0 devices
check '[[ ! -s "$work/out" ]]'
kill -USR2 "$emulatorPid"
sleep 0.3
expect 0 0 devices
check 'grep -q "Demo iPhone.*ready" "$work/out"'
expect 0 0 ls /Media/DCIM
# Paths never leave the served folder.
expect 1 1 ls /Media/../../..
expect 1 1 pull /Media/../device.plist "$work/down"

# Two devices: each run lists both, however their sessions' ends fall against the end of the
# wait, and a command needing one asks which.
mkdir -p "$work/second/Media"
sed 's/d3a1f0c2b4e6a8c0d2f4e6a8b0c2d4e6f8a0b2c4/e3a1f0c2b4e6a8c0d2f4e6a8b0c2d4e6f8a0b2c5/' \
    "$work/device/device.plist" >"$work/second/device.plist"
startEmulator --device "$work/second"
for _ in $(seq 40); do
    [[ $("$cli" devices 2>/dev/null | grep -c "ready$") == 2 ]] && break
    sleep 0.25
done
for _ in 1 2 3 4 5; do
    expect 0 0 devices
    check '[[ $(grep -c "ready$" "$work/out") == 2 ]]'
done
expect 1 1 ls /Media
check 'grep -q "several devices attached" "$work/err"'
# Naming one, the command works on it, without waiting for others that might follow.
expect 0 0 --device e3a1f0c2b4e6a8c0d2f4e6a8b0c2d4e6f8a0b2c5 ls /Media
expect 1 1 --device 00000000000000000000000000000000000000ff ls /Media
check 'grep -q "no attached device has the identifier" "$work/err"'

# What crossed the link is counted once the emulator stops: the listing's requests, by operation
# and in all.
startEmulator --link none --stats "$work/stats"
expect 0 0 ls /Media/DCIM
stopEmulator
check 'grep -q "^afc ReadDirectory [1-9]" "$work/stats"'
check '[[ $(awk "/^afc /{n += \$3} END{print n}" "$work/stats") == \
      $(awk "/^afc-requests /{print \$2}" "$work/stats") ]]'

# The library logs why it waits for a device on stderr, one line per state.
startEmulator --fault locked
# What a locked device tells any host, without pairing or a session: Debian's client reads its
# name and type, not what a session guards; the library shows the same.
runTool 0 ideviceinfo -s -k DeviceName
check 'grep -qx "Demo iPhone" "$work/out"'
runTool 0 ideviceinfo -s
check 'grep -qx "ProductType: iPhone14,2" "$work/out" && ! grep -q "^SerialNumber" "$work/out"'
runTool 0 ideviceinfo -s -k SerialNumber
check '[[ ! -s $work/out ]]'
expect 0 1 devices
check 'grep -q "	Demo iPhone	iPhone14,2	17.1	locked$" "$work/out"'
# The window's picture waits until the library knows the device is locked.
if [[ -n $program ]]; then
    QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache \
        XDG_DATA_HOME=$work/data timeout 60 "$program" --screenshot "$work/locked.png" \
        >"$work/out" 2>"$work/err"
    check '[[ $? == 0 && -s "$work/locked.png" ]] || { cat "$work/err"; false; }'
fi
expect 1 2 ls /Media
check 'grep -q "is locked: unlock it" "$work/err"'
# Unlocked (SIGHUP), the same device completes itself.
kill -HUP "$emulatorPid"
waitUntilReady
expect 0 0 devices
check 'grep -q "Demo iPhone.*ready$" "$work/out"'
expect 0 0 ls /Media

startEmulator --fault trust-pending
runTool 0 ideviceinfo -s -k DeviceName
check 'grep -qx "Demo iPhone" "$work/out"'
expect 0 1 devices
check 'grep -q "	Demo iPhone	iPhone14,2	17.1	untrusted$" "$work/out"'
# Trust tapped (SIGHUP): libimobiledevice pairs (the device's key, Pair, SavePairRecord) and the
# device is complete.
kill -HUP "$emulatorPid"
waitUntilReady
expect 0 0 devices
check 'grep -q "Demo iPhone.*ready$" "$work/out"'
expect 0 0 ls /Media

# Don't Trust: the library says so (and asks no more while it runs, until the device is plugged
# in again); a later run asks again, and this time the user taps Trust, also after replugging.
startEmulator --fault deny-trust
expect 0 1 devices
check 'grep -q "	Demo iPhone	.*	denied$" "$work/out"'
expect 1 2 ls /Media
check 'grep -q "was told not to trust this computer" "$work/err"'
kill -HUP "$emulatorPid"
kill -USR1 "$emulatorPid"
sleep 0.3
kill -USR2 "$emulatorPid"
waitUntilReady
expect 0 0 ls /Media

# An arrival from scratch costs one TLS session: the probe's session serves the snapshot.
startEmulator --stats "$work/stats"
expect 0 0 devices
stopEmulator
check 'grep -qx "tls-handshakes 1" "$work/stats" && grep -qx "tls-version TLSv1.3 1" "$work/stats"'

# The window, without --demo, on the emulator's default: pairs, opens a folder, takes a picture.
if [[ -n $program ]]; then
    startEmulator
    QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache \
        XDG_DATA_HOME=$work/data timeout 60 "$program" --screenshot "$work/window.png" \
        --open /Media/DCIM/100APPLE >"$work/out" 2>"$work/err"
    check '[[ $? == 0 && -s "$work/window.png" ]] || { cat "$work/err"; false; }'
fi

# Pulled out mid-transfer: one failure line, and no partial file under the final name.
startEmulator --fault detach-after-bytes=20000000
mkdir "$work/cut"
expect 1 1 pull /Media/DCIM/100APPLE/IMG_0006.MOV "$work/cut"
check '[[ -z $(ls -A "$work/cut") ]]'

# Pulled out mid-upload: a failure at once, not a hang; what the upload staged on the device is
# neither shown nor kept once it is back and its folder is listed.
startEmulator --fault detach-at-request=12
head -c 20000000 /dev/urandom >"$work/upload.bin"
started=$SECONDS
# (Its first line is the warning about the camera roll.)
PLOVIK_RECEIVE_TIMEOUT_MS=2000 expect 1 2 push "$work/upload.bin" /Media/DCIM
check '((SECONDS - started < 15))'
check '[[ ! -e "$work/device/Media/DCIM/upload.bin" ]] && compgen -G "$work/device/Media/DCIM/.plovik-*.part" >/dev/null'
startEmulator
expect 0 0 ls /Media/DCIM
check '[[ $(<"$work/out") == 100APPLE ]]'
check '! compgen -G "$work/device/Media/DCIM/.plovik-*.part" >/dev/null'

# A device that stops answering, or answers with a broken AFC header, in the middle of a pull:
# a clear failure within the receive time-out (shortened here), nothing left behind. Request 8 is
# the seek back after measuring the file, request 10 its second read. A broken header is also
# logged by the library.
for fault in stall-at-request=8 stall-at-request=10 malformed-afc-at-request=8 \
             malformed-afc-at-request=10; do
    startEmulator --fault "$fault"
    mkdir -p "$work/drill"
    lines=1
    [[ $fault == malformed-* ]] && lines=2
    started=$SECONDS
    PLOVIK_RECEIVE_TIMEOUT_MS=2000 expect 1 "$lines" pull /Media/DCIM/100APPLE/IMG_0006.MOV \
        "$work/drill"
    check '((SECONDS - started < 15))'
    check '[[ -z $(ls -A "$work/drill") ]]'
    check '! grep -q "File is not open" "$work/err"'
done

# A device that cannot take requests in flight, answering them out of order or refusing those
# sent ahead: the library says once that it goes one request at a time, and the long listing is
# the same as from a device that can.
startEmulator
expect 0 0 ls -l /Media/DCIM/100APPLE
cp "$work/out" "$work/listing"
# Names alone are the folder's entries.
expect 0 0 ls /Media/DCIM/100APPLE
check '[[ $(sort "$work/out") == $(ls -A "$work/device/Media/DCIM/100APPLE" | sort) ]]'
for fault in unordered-afc refuse-afc-sent-ahead; do
    startEmulator --fault "$fault"
    expect 0 1 ls -l /Media/DCIM/100APPLE
    check 'grep -q "one request at a time" "$work/err" && cmp -s "$work/out" "$work/listing"'
done

# A camera-roll original that is only in iCloud: the failure says so, nothing is left behind.
startEmulator --fault cloud-only-photos
mkdir -p "$work/cloud"
expect 1 1 pull /Media/DCIM/100APPLE/IMG_0007.HEIC "$work/cloud"
check 'grep -q "stored in iCloud and not on the phone" "$work/err" && [[ -z $(ls -A "$work/cloud") ]]'

startEmulator --fault refuse=com.apple.afc
expect 1 1 ls /Media
expect 0 0 ls /Root/private/etc

# A garbled installation-proxy reply is a failure, not an empty list of apps.
startEmulator --fault malformed-plist
expect 1 1 apps

exit $failed
