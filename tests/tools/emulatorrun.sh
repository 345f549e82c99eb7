# The emulator of the end-to-end scripts, one run at a time; sourced, not run. The script sets
# `emulator` (plovik-devemu), `cli` (plovik-cli) and `work` (a temporary folder whose `device`
# folder the emulator serves), and stops the emulator on exit (stopEmulator).
emulatorPid=
stopEmulator() {
    if [[ -n $emulatorPid ]]; then
        kill "$emulatorPid" 2>/dev/null
        wait "$emulatorPid" 2>/dev/null
        emulatorPid=
    fi
}

# startEmulator ARGS...: serves the device folder with the extra arguments, and waits until the
# socket accepts connections.
startEmulator() {
    stopEmulator
    "$emulator" --socket "$work/mux" --device "$work/device" "$@" 2>>"$work/emulator.log" &
    emulatorPid=$!
    for _ in $(seq 50); do
        [[ -S $work/mux ]] && return
        sleep 0.1
    done
    echo "FAIL: the emulator did not start with $*"
    cat "$work/emulator.log"
    exit 1
}
export USBMUXD_SOCKET_ADDRESS=UNIX:$work/mux

# waitUntilReady: gives a device that was just allowed in a few seconds to pair and report ready
# (making the host's certificates takes a while on a busy machine).
waitUntilReady() {
    for _ in $(seq 40); do
        "$cli" devices 2>/dev/null | grep -q "ready$" && return
        sleep 0.25
    done
}
