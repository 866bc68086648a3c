#!/usr/bin/env bash
# Runs one whole update in the desktop application against the virtual camera on a private X
# server, drives it with keys and keeps screenshots of the main window, the port dialog, the file
# dialog, the progress window during the transfer and the success dialog.
#
#   tools/screenshots.sh BUILD_DIR [OUTPUT_DIR]      (OUTPUT_DIR defaults to docs/screenshots)
#
# Needs Xvfb, xdotool, xwd (x11-apps) and convert (imagemagick); tools/install-deps.sh installs
# them.
set -euo pipefail

build=$(cd "${1:?usage: tools/screenshots.sh BUILD_DIR [OUTPUT_DIR]}" && pwd)
out=${2:-docs/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)
tool="$build/src/app/main/tk358fw"
camsim="$build/sim/camsim/tk358-camsim"
maker="$build/tools/make_sample_firmware"
title="Orvia TK358 Camera Update Software"

work=$(mktemp -d /tmp/tk358fw-shots.XXXXXX)
xvfb_pid="" camsim_pid="" tool_pid=""
cleanup() {
    exec 3>&- 2>/dev/null || true
    local pid
    for pid in $tool_pid $camsim_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $tool_pid $camsim_pid $xvfb_pid; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# Polls `condition` every 0.1 s for at most `seconds`.
wait_until() {
    local seconds=$1
    shift
    local tries=$((seconds * 10))
    while ((tries-- > 0)); do
        "$@" && return 0
        sleep 0.1
    done
    echo "screenshots: timed out waiting for: $*" >&2
    return 1
}

# The visible windows with the tool's title other than the main window, as "id w h x y".
dialogs() {
    local id
    for id in $(xdotool search --onlyvisible --name "$title" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        ((WIDTH < 1024)) && echo "$id $WIDTH $HEIGHT $X $Y"
    done
    return 0
}
have_dialog() { [[ -n "$(dialogs)" ]]; }
no_dialog() { [[ -z "$(dialogs)" ]]; }
have_file_dialog() { xdotool search --onlyvisible --name "Select a file" >/dev/null 2>&1; }
no_file_dialog() { ! have_file_dialog; }
blocks_sent() { (($(grep -c "block" "$work/camsim.log" 2>/dev/null || true) >= $1)); }
# A dialog other than the window `$1` is showing.
other_dialog() { dialogs | grep -qv "^$1 "; }
tool_ended() { ! kill -0 "$tool_pid" 2>/dev/null; }

# Screenshot of the whole screen, or of a window with a margin around it.
shot() {
    local name=$1 geometry=${2:-}
    if [[ -z "$geometry" ]]; then
        xwd -root -silent | convert xwd:- "$out/$name.png"
    else
        read -r _ w h x y <<<"$geometry"
        local m=24
        xwd -root -silent | convert xwd:- -crop "$((w + 2 * m))x$((h + 2 * m))+$((x - m))+$((y - m))" \
            +repage "$out/$name.png"
    fi
    echo "  $out/$name.png"
}

# A private X server on a display number of its own choosing.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" 2>/dev/null &
xvfb_pid=$!
wait_until 20 test -s "$work/display"
export DISPLAY=":$(head -1 "$work/display")"

"$maker" "$work/sample.fw" 1.20 >/dev/null
mkfifo "$work/camsim.in"
"$camsim" --id "TK358 DEMO" --log "$work/camsim.log" <"$work/camsim.in" \
    >"$work/camsim.out" &
camsim_pid=$!
exec 3>"$work/camsim.in"
wait_until 10 grep -q TK358FW_COM1= "$work/camsim.out"
export TK358FW_COM1=$(sed -n 's/^TK358FW_COM1=//p' "$work/camsim.out")

# Started in the work folder, so the file dialog opens on the sample file.
(cd "$work" && exec "$tool" 3>&- 2>"$work/tool.err") &
tool_pid=$!

echo "Screenshots in $out:"
wait_until 30 have_dialog
sleep 0.5  # let the dialog finish drawing before the picture is taken
shot port-dialog "$(dialogs)"
xdotool windowfocus --sync "$(dialogs | cut -d' ' -f1)" key Return
wait_until 10 no_dialog
shot main-window

wait_until 60 have_file_dialog
file_dialog=$(xdotool search --onlyvisible --name "Select a file")
sleep 1  # the toolkit fits the dialog and lists the folder: let it settle before the picture
shot file-dialog
xdotool windowfocus --sync "$file_dialog" type --delay 20 "$work/sample.fw"
for _ in 1 2 3; do
    xdotool key Return
    wait_until 3 no_file_dialog 2>/dev/null && break
done

wait_until 60 have_dialog
progress=$(dialogs | cut -d' ' -f1)
wait_until 300 blocks_sent 230
shot progress-window "$(dialogs)"

wait_until 600 other_dialog "$progress"  # the success dialog after the progress window
sleep 0.5
shot success-dialog "$(dialogs | grep -v "^$progress ")"
xdotool windowfocus --sync "$(dialogs | cut -d' ' -f1)" key Return
wait_until 30 tool_ended
status=0
wait "$tool_pid" || status=$?
tool_pid=""
echo "tk358fw exited with status $status"
exit "$status"
