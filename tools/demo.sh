#!/usr/bin/env bash
# A whole firmware update against the virtual camera:
#   1. starts tk358-camsim (camera in normal mode, no pictures) on a pseudo-terminal,
#   2. writes a sample firmware file (version 1.20) with make_sample_firmware,
#   3. runs tk358fw against it on COM1: the desktop application when a display is reachable,
#      otherwise the terminal front end with the answers fed in (AUTO, the file, OK),
#   4. stops the simulator and compares what the camera received with the file's image.
#
#   tools/demo.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/camsim-on-pty.sh"

build=${1:?usage: tools/demo.sh BUILD_DIR}
build=$(cd "$build" && pwd)
tool="$build/src/app/main/tk358fw"
camsim="$build/sim/camsim/tk358-camsim"
maker="$build/tools/make_sample_firmware"
for program in "$tool" "$camsim" "$maker"; do
    if [[ ! -x "$program" ]]; then
        echo "demo: $program is missing; build first (make release)" >&2
        exit 1
    fi
done

work=$(mktemp -d /tmp/tk358fw-demo.XXXXXX)
camsim_pid=""
cleanup() {
    exec 3>&- 2>/dev/null || true
    if [[ -n "$camsim_pid" ]] && kill -0 "$camsim_pid" 2>/dev/null; then
        kill "$camsim_pid" 2>/dev/null || true
        wait "$camsim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

firmware="$work/sample-1.20.fw"
"$maker" "$firmware" 1.20
echo "Sample firmware file: $firmware ($(stat -c %s "$firmware") bytes, version 1.20)"

start_camsim_on_pty "$work" demo "$camsim" --id "TK358 DEMO" --save-image "$work/received.bin" \
    --log "$work/camsim.log"
export TK358FW_COM1="$camsim_pty"
echo "Virtual camera on $TK358FW_COM1 (normal mode, no pictures)"

have_display() {
    [[ -n "${DISPLAY:-}" ]] && command -v xdpyinfo >/dev/null && xdpyinfo >/dev/null 2>&1 &&
        ! "$tool" --help | grep -q "not in this build"
}

set +e
if have_display; then
    echo "Starting the desktop application on $DISPLAY: choose AUTO, then $firmware."
    "$tool" 3>&-
    status=$?
else
    echo "No display: the terminal front end, with the answers AUTO, the file and OK fed in."
    echo
    printf 'AUTO\n%s\n\n' "$firmware" | "$tool" --console 3>&-
    status=$?
fi
set -e
echo
echo "tk358fw exited with status $status."

# Stop the simulator: it writes what it received when its input ends.
exec 3>&-
wait "$camsim_pid" || true
camsim_pid=""

if [[ ! -f "$work/received.bin" ]]; then
    echo "demo: the simulator wrote no image" >&2
    exit 1
fi
if cmp <(tail -c +129 "$firmware" | head -c 196608) "$work/received.bin"; then
    echo "The camera received exactly the 196,608-byte image of $(basename "$firmware")."
else
    echo "demo: what the camera received differs from the image" >&2
    exit 1
fi
exit "$status"
