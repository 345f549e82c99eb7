#!/usr/bin/env bash
# The Debian package end to end: CPack builds it from the build tree, its control data and contents
# are checked, and it is unpacked under a fresh folder, a prefix other than the /usr it is made
# for. Started from there with nothing pointing at the build tree, the program and plovik-cli
# must find their MobileDevice libraries and the demo device relative to themselves.
# Usage: package_test.sh CPACK BUILD_DIR APP_ID
set -euo pipefail
cpack=$1
build=$2
app=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >cpack.log ||
  { cat cpack.log; exit 1; }
debs=(out/plovik_*.deb)
[[ ${#debs[@]} == 1 ]] || { echo "expected one package, found: ${debs[*]}"; exit 1; }
deb=${debs[0]}

fail() { echo "$*"; exit 1; }
dpkg-deb --field "$deb" Package | grep -qx plovik || fail "package name"
depends=$(dpkg-deb --field "$deb" Depends)
for runtime in libqt6widgets6 libqt6svg6 libimobiledevice6 libplist3 libusbmuxd6 libheif1 \
               libsqlite3-0 libssl3 libavformat59 libavcodec59 libswscale6 libavutil57; do
  grep -qE "(^|[ ,|])$runtime( |,|$)" <<<"$depends" || fail "Depends lacks $runtime: $depends"
done
dpkg-deb --field "$deb" Recommends | grep -q usbmuxd || fail "usbmuxd not recommended"

dpkg-deb --contents "$deb" | awk '{print $6}' >contents
for path in ./usr/bin/plovik ./usr/bin/plovik-cli \
            ./usr/lib/plovik/libplovik-usbmux.so ./usr/lib/plovik/libplovik-sim.so \
            ./usr/share/plovik/demo-device/device.plist \
            ./usr/share/plovik/demo-device/Media/DCIM/100APPLE/IMG_0006.MOV \
            "./usr/share/applications/$app.desktop" "./usr/share/metainfo/$app.metainfo.xml" \
            "./usr/share/icons/hicolor/scalable/apps/$app.svg"; do
  grep -qxF "$path" contents || fail "the package lacks $path"
done

dpkg-deb -x "$deb" root
appstreamcli validate-tree --no-net root || fail "the installed tree's metainfo"

unset PLOVIK_DEMO_DEVICE PLOVIK_MOBILEDEVICE_LIBRARY LD_LIBRARY_PATH
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache \
       XDG_DATA_HOME=$work/data
# --open waits for the demo device to arrive, so the picture proves the library was loaded and
# the device attached.
root/usr/bin/plovik --demo --open /Media/DCIM/100APPLE --screenshot shot.png ||
  fail "the unpacked program did not show the demo device"
[[ -s shot.png ]] || fail "no screenshot"
root/usr/bin/plovik-cli --demo ls /Media/DCIM/100APPLE | grep -qx IMG_0006.MOV ||
  fail "the unpacked plovik-cli did not list the demo device"
