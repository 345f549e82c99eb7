#!/usr/bin/env bash
# plovik-cli end to end on a copy of the demo device: every command, exit codes, and that each
# failure is one line on stderr while successful runs off a terminal print nothing there.
# Usage: cli_test.sh PLOVIK_CLI DEMO_DEVICE_FOLDER
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a "$2" "$work/device"
export PLOVIK_DEMO_DEVICE=$work/device
cliCommand=("$cli" --demo)
source "$(dirname "$0")/clichecks.sh"

expect 0 0 devices
check 'grep -q "Demo iPhone.*ready" "$work/out"'
expect 0 0 ls /Media/
check 'grep -qx DCIM "$work/out"'
expect 0 0 ls -l /Media/DCIM/100APPLE
check 'grep -q "^-     67108864 .* IMG_0006.MOV$" "$work/out"'
# Names come straight from the directory read, less what an interrupted upload staged, which goes.
touch "$work/device/Media/DCIM/100APPLE/.plovik-0123abcd.part"
expect 0 0 ls /Media/DCIM/100APPLE
check '[[ $(sort "$work/out") == $(ls -A "$work/device/Media/DCIM/100APPLE" | sort) ]]'
check '[[ ! -e "$work/device/Media/DCIM/100APPLE/.plovik-0123abcd.part" && -s "$work/out" ]]'
expect 0 0 ls "/Applications/Notes Demo/Documents"
check 'grep -qx Shopping.txt "$work/out"'
expect 1 1 ls /Media/missing
check 'grep -qx "plovik-cli: ls: /Media/missing: no such file or folder" "$work/err"'
expect 2 2 ls -z /Media
expect 2 2 ls Media
expect 0 0 mv --help
check 'grep -q "^usage: .* mv FROM TO" "$work/out"'
"$cli" --device nosuchdevice --demo ls / >/dev/null 2>"$work/err"
check '[[ $? == 1 && $(wc -l <"$work/err") == 1 ]]'

# A round trip: push a tree up, pull it back, compare.
mkdir -p "$work/up/Trip/sub/deeper" "$work/up/Trip/empty" "$work/down"
head -c 3000000 /dev/urandom >"$work/up/Trip/big.bin"
echo note >"$work/up/Trip/sub/deeper/note.txt"
expect 0 0 mkdir /Media/Inbox
expect 1 1 mkdir /Media/Inbox
expect 0 0 push "$work/up/Trip" /Media/Inbox
expect 0 0 pull /Media/Inbox/Trip "$work/down"
check 'diff -r "$work/up/Trip" "$work/down/Trip"'
# Existing files are kept unless -f; each kept file is one failure line.
expect 1 2 pull /Media/Inbox/Trip "$work/down"
expect 0 0 pull -f /Media/Inbox/Trip "$work/down"
# A missing destination is made when its parent exists, on either side.
expect 0 0 pull /Media/Inbox/Trip "$work/made"
check 'diff -r "$work/up/Trip" "$work/made/Trip"'
expect 1 1 pull /Media/Inbox/Trip "$work/no-such-folder/below"
check '[[ ! -e "$work/no-such-folder" ]]'
expect 0 0 push "$work/up/Trip/big.bin" /Media/Made
check 'cmp -s "$work/up/Trip/big.bin" "$work/device/Media/Made/big.bin"'
expect 1 1 push "$work/up/Trip/big.bin" /Media/Missing/Below
expect 0 0 rm -r /Media/Made
expect 1 1 pull /Media/Inbox/nothing "$work/down"
# Links to folders under Root are reported and left out; the rest arrives.
expect 0 3 pull /Root "$work/down"
check '[[ -f "$work/down/Root/private/etc/hosts" && ! -e "$work/down/Root/var" ]]'

# HEIC photos arrive as upright JPEGs; one that is no photo arrives as it is, and says so.
expect 0 0 pull --heic-to-jpeg /Media/DCIM/100APPLE "$work/jpeg"
check '[[ -f "$work/jpeg/100APPLE/IMG_0007.JPG" && -f "$work/jpeg/100APPLE/IMG_0008.JPG" ]]'
check '[[ -z $(find "$work/jpeg" -iname "*.heic" -o -name ".plovik-*") ]]'
check '[[ $(head -c 3 "$work/jpeg/100APPLE/IMG_0007.JPG" | od -An -tx1 | tr -d " ") == ffd8ff ]]'
check '[[ $(stat -c %Y "$work/jpeg/100APPLE/IMG_0007.JPG") == $(stat -c %Y "$work/device/Media/DCIM/100APPLE/IMG_0007.HEIC") ]]'
mkdir -p "$work/device/Media/Odd"
echo "not a photo" >"$work/device/Media/Odd/IMG_9999.HEIC"
expect 0 1 pull --heic-to-jpeg /Media/Odd "$work/jpeg"
check 'grep -q "IMG_9999.HEIC: copied as it is, not converted to JPEG: " "$work/err"'
check 'cmp -s "$work/device/Media/Odd/IMG_9999.HEIC" "$work/jpeg/Odd/IMG_9999.HEIC"'
expect 2 2 ls --heic-to-jpeg /Media

# Imports copy what was not copied from this device before, known from the transfer history.
export XDG_DATA_HOME=$work/data
roll=$(find "$work/device/Media/DCIM" -type f -iregex '.*\.\(jpg\|png\|mov\|heic\)' | wc -l)
expect 0 0 import "$work/roll"
check '[[ $(tail -n 1 "$work/out") == "$roll photos and videos found, $roll new, 0 imported before; $roll copied, 0 skipped, 0 failed" ]]'
check '[[ -f "$work/data/Orvane/Plovik/transfers.sqlite" && -f "$work/roll/IMG_0007.HEIC" ]]'
expect 0 0 import "$work/roll"
check 'grep -q "found, 0 new, $roll imported before; 0 copied" "$work/out"'
# Deleted here, it stays imported; "all again" keeps what is there unless -f.
rm "$work/roll/IMG_0001.JPG"
expect 0 0 import "$work/roll"
check 'grep -q ", 0 new, .* 0 copied" "$work/out" && [[ ! -e "$work/roll/IMG_0001.JPG" ]]'
expect 0 $((roll - 1)) import --all "$work/roll"
check 'grep -q ", 0 new, $roll imported before; 1 copied, $((roll - 1)) skipped, 0 failed" "$work/out"'
cp "$work/device/Media/DCIM/100APPLE/IMG_0002.JPG" "$work/device/Media/DCIM/100APPLE/IMG_0100.JPG"
before=$(ls "$work/roll" | wc -l)
expect 0 0 import "$work/roll"
check 'grep -q ", 1 new, $roll imported before; 1 copied, 0 skipped" "$work/out"'
check '[[ $(ls "$work/roll" | wc -l) == $((before + 1)) && -f "$work/roll/IMG_0100.JPG" ]]'
# By month: the HEIC photos by their Exif dates.
expect 0 0 import --all --by-month "$work/months"
check '[[ -f "$work/months/2024/06/IMG_0007.HEIC" && -f "$work/months/2024/07/IMG_0008.HEIC" ]]'
expect 2 2 import
rm "$work/device/Media/DCIM/100APPLE/IMG_0100.JPG"

expect 0 0 mv /Media/Inbox/Trip /Media/Inbox/Renamed
expect 1 1 mv /Media/Inbox/Renamed/big.bin /Root/private
expect 0 0 mv /Media/Inbox/Renamed/big.bin /Media/Inbox
check '[[ -f "$work/device/Media/Inbox/big.bin" ]]'
expect 1 1 mv /Media/Inbox/big.bin /Media/Inbox/Renamed/sub/deeper/note.txt
expect 1 1 rm /Media/Inbox
expect 1 1 rm -r /Media
expect 0 0 rm -r /Media/Inbox
check '[[ ! -e "$work/device/Media/Inbox" && -d "$work/device/Media/DCIM" ]]'

exit $failed
