#!/usr/bin/env bash
# Fault drills with plovik-cli and the window against plovik-devemu's default device (unpaired,
# sessions in TLS): unplugged, stalled, deaf or reset in the middle of a copy, full disks on both
# sides, a read-only folder, a 5 GiB file, a folder of 200,000 entries, a hostile device, corrupt
# photos. Each ends without a crash or a hang past the receive time-out, with a clear line, no
# partial file under a final name on either side, no staged file on a device that can still be
# reached, and nothing written outside the folder chosen. docs/drills.md has the table.
# Usage: drills_test.sh PLOVIK_DEVEMU PLOVIK_CLI DEMO_DEVICE_FOLDER [PLOVIK [WINDOWDRILL_TESTS]]
set -u
emulator=$1
cli=$2
program=${4:-}
windowDrills=${5:-}
work=$(mktemp -d)
mounts=()
trap 'for mount in "${mounts[@]}"; do umount "$mount"; done; stopEmulator; rm -rf "$work"' EXIT
cp -a "$3" "$work/device"
source "$(dirname "$0")/emulatorrun.sh"
cliCommand=("$cli")
source "$(dirname "$0")/clichecks.sh"
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
# Stalls end after 2 s instead of 30.
export PLOVIK_RECEIVE_TIMEOUT_MS=2000
movie=/Media/DCIM/100APPLE/IMG_0006.MOV
# What the device holds; every drill leaves it so (what a drill adds, it removes).
find "$work/device" -printf "%P %s\n" | sort >"$work/device.before"
head -c 20000000 /dev/urandom >"$work/upload.bin"

# drill FAULT EXIT_CODE STDERR_LINES ARGS...: the command against a device with the fault, ended
# well within a few receive time-outs.
drill() {
    local fault=$1
    shift
    startEmulator --fault "$fault"
    local started=$SECONDS
    expect "$@"
    check "((SECONDS - $started < 10)) || { echo \"$fault took too long\"; false; }"
}

# emptyFolder PATH: a fresh folder that a failed copy must leave empty.
emptyFolder() {
    rm -rf "$1"
    mkdir -p "$1"
}

# noStagedFiles DEVICE_FOLDER: no upload's staged file is left in the served folder.
noStagedFiles() {
    check "! compgen -G \"$work/device$1/.plovik-*.part\" >/dev/null"
}

# historyHas CONDITION: a row of the transfer history matches (status 3: not copied).
historyHas() {
    check "[[ -n \$(sqlite3 \"$work/data/Orvane/Plovik/transfers.sqlite\" \
        \"select 1 from transfers where $1 limit 1\") ]]"
}

# Unplugged during a pull, at five reads (the 65th is the one that meets the end) and after five
# amounts of bytes: one failure line, an empty destination, and the device's file untouched.
for fault in detach-at-read=1 detach-at-read=2 detach-at-read=17 detach-at-read=64 \
             detach-at-read=65 detach-after-bytes=200000 detach-after-bytes=1000000 \
             detach-after-bytes=16777216 detach-after-bytes=40000000 \
             detach-after-bytes=67100000; do
    emptyFolder "$work/pulls/target"
    drill "$fault" 1 1 pull "$movie" "$work/pulls/target"
    check '[[ -z $(ls -A "$work/pulls/target") && $(ls -A "$work/pulls") == target ]]'
done
check '[[ $(stat -c %s "$work/device$movie") == 67108864 ]]'

# Unplugged during a push, at five writes (20 of 1 MB carry the file) and after five amounts of
# bytes taken in: one failure line and no file under the final name; what was staged goes once
# the device is back and the folder is listed.
for fault in detach-at-write=1 detach-at-write=2 detach-at-write=7 detach-at-write=19 \
             detach-at-write=20 detach-after-received=1500 detach-after-received=300000 \
             detach-after-received=5000000 detach-after-received=12000000 \
             detach-after-received=19990000; do
    drill "$fault" 1 1 push "$work/upload.bin" /Media/Downloads
    check '[[ ! -e "$work/device/Media/Downloads/upload.bin" ]]'
done
startEmulator
expect 0 0 ls /Media/Downloads
check '[[ -z $(<"$work/out") ]]'
noStagedFiles /Media/Downloads

# The same through the window (its copy commands, transfer worker and history): the failure
# alert names the file, the history records it as not copied with its reason, nothing is left.
if [[ -n $windowDrills ]]; then
    for drill in download:detach-after-bytes=20000000 upload:detach-at-write=5; do
        emptyFolder "$work/window-${drill%%:*}"
        startEmulator --fault "${drill#*:}"
        PLOVIK_WINDOW_DRILL=${drill%%:*} PLOVIK_WINDOW_DRILL_FILE=$work/upload.bin \
            XDG_DATA_HOME=$work/window-${drill%%:*} QT_QPA_PLATFORM=offscreen \
            timeout -s KILL 60 "$windowDrills" >"$work/out" 2>&1
        check '[[ $? == 0 ]] || { cat "$work/out"; false; }'
    done
    check '[[ ! -e "$work/device/Media/Downloads/upload.bin" ]]'
    startEmulator
    expect 0 0 ls /Media/Downloads
    noStagedFiles /Media/Downloads
fi

# A device that stops answering (stall) or stops reading its socket (deaf) in the middle of a
# pull and of a push, and one that closes the connection half way through a reply: a failure
# within the receive time-out; the device can still be reached, so nothing staged stays on it.
for fault in stall-at-read=3 deaf-at-read=3 reset-at-read=3; do
    emptyFolder "$work/pulls/target"
    drill "$fault" 1 1 pull "$movie" "$work/pulls/target"
    check '[[ -z $(ls -A "$work/pulls/target") ]]'
done
for fault in stall-at-write=3 deaf-at-write=3; do
    drill "$fault" 1 1 push "$work/upload.bin" /Media/Downloads
    check '[[ -z $(ls -A "$work/device/Media/Downloads") ]]'
done

# The device's storage fills during a push: the failure says so; nothing is left on it.
drill no-space-at-write=4 1 1 push "$work/upload.bin" /Media/Downloads
check 'grep -qi "full\|space" "$work/err" && [[ -z $(ls -A "$work/device/Media/Downloads") ]]'

# A full local disk (4 MB of memory, or where nothing may be mounted a file size limit, with
# SIGXFSZ ignored so that writes fail with EFBIG) and a read-only folder: each failure gives the
# system's reason, and an import records it in the history. The smaller files fit.
mkdir -p "$work/small" "$work/readonly"
if mount -t tmpfs -o size=4m tmpfs "$work/small" 2>/dev/null; then
    mounts+=("$work/small")
    reason="No space left on device"
    limit=unlimited
else
    reason="File too large"
    limit=4096
fi
startEmulator
(trap '' XFSZ; ulimit -f "$limit"; expect 1 1 pull "$movie" "$work/small")
check 'grep -q "$reason" "$work/err" && [[ -z $(ls -A "$work/small") ]]'
(trap '' XFSZ; ulimit -f "$limit"; expect 1 1 import "$work/small/photos")
check 'grep -q "IMG_0006.MOV: .*$reason" "$work/err" && [[ -f "$work/small/photos/IMG_0001.JPG" ]]'
check '[[ ! -e "$work/small/photos/IMG_0006.MOV" ]] && ! compgen -G "$work/small/photos/.plovik-*" >/dev/null'
historyHas "status = 3 and device_file like '%IMG_0006.MOV' and reason like '%$reason%'"
readonlyMade=1
if mount -t tmpfs -o ro,size=64k tmpfs "$work/readonly" 2>/dev/null; then
    mounts+=("$work/readonly")
elif ((EUID != 0)); then
    chmod a-w "$work/readonly"
else
    readonlyMade=
fi
if [[ -n $readonlyMade ]]; then
    expect 1 1 pull /Media/DCIM/100APPLE/IMG_0001.JPG "$work/readonly"
    check 'grep -q "Read-only file system\|Permission denied" "$work/err"'
    expect 1 8 import --all "$work/readonly"
    check '[[ $(grep -c "Read-only file system\|Permission denied" "$work/err") == 8 ]]'
    historyHas "status = 3 and device_file like '%IMG_0006.MOV' and
                (reason like '%Read-only%' or reason like '%Permission denied%')"
else
    echo "NOTE: no read-only folder can be made here (root, and no mounts)"
fi

# A hostile device: names with "..", "/", invalid UTF-8 and a NUL (which splits a name in two on
# the wire) are each refused or fail alone, nothing lands outside the folder; a listing without
# its last terminator still lists every entry; a size of 10^20 bytes is no size, and the copy
# measures the file itself; a reply nested 10,000 deep, or longer than any bound, is refused.
startEmulator --fault hostile-names
emptyFolder "$work/hostile/target"
expect 1 10 pull /Media/Books "$work/hostile/target"
check '[[ $(cd "$work/hostile" && find . | sort | tr "\n" " ") == \
      ". ./target ./target/Books ./target/Books/Purchases ./target/Books/Purchases/Welcome.txt " ]]'
check '[[ -z $(find "$work" -name escaped) ]]'
startEmulator --fault unterminated-listing
expect 0 0 ls /Media/DCIM/100APPLE
check '[[ $(sort "$work/out") == $(ls -A "$work/device/Media/DCIM/100APPLE" | sort) ]]'
startEmulator --fault huge-file-size
expect 0 0 ls -l /Media/DCIM/100APPLE
check '! grep -q "100000000000000000000" "$work/out"'
emptyFolder "$work/hostile/target"
expect 0 0 pull /Media/DCIM/100APPLE/IMG_0002.JPG "$work/hostile/target"
check 'cmp -s "$work/hostile/target/IMG_0002.JPG" "$work/device/Media/DCIM/100APPLE/IMG_0002.JPG"'
# A device that answers StartSession and then never its side of the TLS handshake: each try at
# a session ends at the receive time-out, and the command gives up with a clear line.
startEmulator --fault silent-tls
started=$SECONDS
expect 1 2 ls /Media
check 'grep -q "Receive timeout" "$work/err" && grep -q "did not finish connecting" "$work/err"'
check "((SECONDS - started < 45)) || { echo \"silent-tls took too long\"; false; }"
drill deep-plist 1 1 apps
check 'grep -q "nested too deeply" "$work/err"'
drill oversized-reply 1 1 apps
check 'grep -q "too large" "$work/err"'
drill oversized-reply 1 2 ls /Media
check 'grep -q "refused" "$work/err"'

# The window thumbnails a camera-roll folder holding a corrupt photo of each kind (the fuzz
# targets' crash inputs, and cut-off PNG, HEIC, BMP and MOV files): it neither crashes nor
# caches a thumbnail for any of them; the eight sound photos get theirs.
if [[ -n $program ]]; then
    photos=$work/device/Media/DCIM/100APPLE
    crashes=$(dirname "$0")/../fuzz/crashes
    number=100
    for input in "$crashes"/make_thumbnail/* "$crashes"/heif_boxes/* "$crashes"/thumbnail_reader/*; do
        number=$((number + 1))
        extension=${input##*.}
        cp "$input" "$photos/IMG_0$number.${extension^^}"
    done
    head -c 3000 "$photos/IMG_0005.PNG" >"$photos/IMG_0201.PNG"
    head -c 2000 "$photos/IMG_0007.HEIC" >"$photos/IMG_0202.HEIC"
    head -c 100000 "$photos/IMG_0006.MOV" >"$photos/IMG_0203.MOV"
    printf 'BM\x36\x00\x10\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00\x00\x04\x00\x00\x00\x04\x00\x00\x01\x00\x18\x00' \
        >"$photos/IMG_0204.BMP"
    startEmulator
    QT_QPA_PLATFORM=offscreen timeout 60 "$program" --screenshot "$work/window.png" \
        --open /Media/DCIM/100APPLE --view-style 3 >"$work/out" 2>"$work/err"
    check '[[ $? == 0 && -s "$work/window.png" ]] || { cat "$work/err"; false; }'
    check '[[ $(find "$XDG_CACHE_HOME" -name "*.icache" | wc -l) == 8 ]]'
    rm -f "$photos"/IMG_01* "$photos"/IMG_02*
fi

# The sizes below measure the program, not a sanitizer's cost: they run in the normal build.
if [[ -z ${PLOVIK_DRILLS_SANITIZED:-} ]]; then
    # A 5 GiB file, sparse but for marks at its start, past 4 GiB and at its end, pulled and
    # pushed on an unbounded link: byte-exact, its size right in the listing and on both sides.
    huge=$work/device/Media/Downloads/huge.bin
    truncate -s 5G "$huge"
    for mark in 0:start $((4 << 30 | 3)):past-4GiB $(((5 << 30) - 4)):end!; do
        printf %s "${mark#*:}" | dd of="$huge" bs=1 seek="${mark%%:*}" conv=notrunc status=none
    done
    startEmulator --link none
    expect 0 0 ls -l /Media/Downloads
    check 'grep -q "^-   5368709120 .* huge.bin$" "$work/out"'
    emptyFolder "$work/big"
    started=$SECONDS
    expect 0 0 pull /Media/Downloads/huge.bin "$work/big"
    echo "NOTE: 5 GiB pulled in $((SECONDS - started)) s"
    check 'cmp "$huge" "$work/big/huge.bin"'
    rm -f "$work/big/huge.bin"
    mv "$huge" "$work/big/huge.bin"
    started=$SECONDS
    expect 0 0 push "$work/big/huge.bin" /Media/Downloads
    echo "NOTE: 5 GiB pushed in $((SECONDS - started)) s"
    check '[[ $(stat -c %s "$huge") == 5368709120 ]] && cmp "$work/big/huge.bin" "$huge"'
    rm -f "$huge" "$work/big/huge.bin"

    # A folder of 200,000 entries, by name and in the long listing: complete, in bounded memory.
    mkdir "$work/device/Media/Many"
    (cd "$work/device/Media/Many" && seq -f "IMG_%06g.JPG" 200000 | xargs touch)
    for listing in "ls" "ls -l"; do
        /usr/bin/time -f %M -o "$work/rss" timeout 60 "$cli" $listing /Media/Many >"$work/out"
        check '[[ $? == 0 && $(wc -l <"$work/out") == 200000 ]]'
        echo "NOTE: $listing of 200,000 entries: max RSS $(($(<"$work/rss") / 1024)) MiB"
        check '(($(<"$work/rss") < 1024 * 1024))'
    done
    rm -rf "$work/device/Media/Many"
fi

stopEmulator
find "$work/device" -printf "%P %s\n" | sort >"$work/device.after"
check 'diff "$work/device.before" "$work/device.after"'

exit $failed
