#!/usr/bin/env bash
# One whole firmware update by the Windows desktop application (tk358fw.exe) under Wine, driven
# with keys as a user would, on a private X server (Xvfb, 1024 x 768) with a window manager
# (openbox), against the virtual camera on Wine's COM1:
#   port dialog (AUTO preselected; Return) -> the prompt line with the camera's ID and firmware
#   version -> the file dialog (the firmware file's Windows path typed; Return) -> the progress
#   window up to "Downloading firmware completed." with 100 % read from the screen -> the success
#   message (Return) -> exit status 0, and what the camera saved compared with the file's image.
# Each window is checked to have appeared with its controls (read by tools/window_probe.exe from
# beside the application, under the same Wine server), to show on the screen (read from the X
# server's screen file by read_screen) and to fit the 1024 x 768 screen, frame included. Every
# step waits for a condition, bounded by a time-out that names the step.
#
#   tools/windows-desktop-update.sh [--screenshots DIR] LINUX_BUILD WINDOWS_BUILD
#
# --screenshots DIR keeps a picture of each step in DIR (windows-*.png). The Linux build supplies
# tk358-camsim, make_sample_firmware and read_screen; the Windows build tk358fw.exe,
# window_probe.exe and the Wine prefix (WINDOWS_BUILD/wine). Needs Xvfb, openbox, xdotool,
# xwininfo and xprop, and ImageMagick's convert for the pictures (tools/install-deps.sh).
#
# Every Wine process of the run goes through tools/wine-run.sh, which gives Wine no serial device
# of this machine (/dev/ttyS0 can be the machine's console) and checks that every COM port leads to
# a pseudo-terminal. COM1 is the camera's pseudo-terminal (registry HKLM\Software\Wine\Ports,
# taken back at the end); the application and the probe get the private X server's display.
set -euo pipefail

usage="usage: tools/windows-desktop-update.sh [--screenshots DIR] LINUX_BUILD WINDOWS_BUILD"
shots=""
if [[ ${1:-} == --screenshots ]]; then
    shots=${2:?$usage}
    shift 2
fi
[[ $# -eq 2 ]] || { echo "$usage" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)

source "$here/camsim-on-pty.sh"
source "$here/wine-com1.sh"
linux_build=$(cd "$1" && pwd)
windows_build=$(cd "$2" && pwd)
if [[ -n $shots ]]; then
    mkdir -p "$shots"
    shots=$(cd "$shots" && pwd)
fi
wine_prefix="$windows_build/wine"
tool="$windows_build/src/app/main/tk358fw.exe"
probe="$windows_build/tools/window_probe.exe"
camsim="$linux_build/sim/camsim/tk358-camsim"
maker="$linux_build/tools/make_sample_firmware"
reader="$linux_build/tests/read_screen"
for program in "$tool" "$probe" "$camsim" "$maker" "$reader"; do
    [[ -f "$program" ]] || { echo "desktop-update: $program is missing; build first" >&2; exit 1; }
done
for program in Xvfb openbox xdotool xwininfo xprop; do
    command -v "$program" >/dev/null ||
        { echo "desktop-update: $program is missing (tools/install-deps.sh)" >&2; exit 1; }
done

title="Orvia TK358 Camera Update Software"
camera_id="TK358 WINE"
camera_version=2.7
screen_width=1024
screen_height=768
grey=C0C0C0

work=$(mktemp -d /tmp/tk358fw-desktop-update.XXXXXX)
screen="$work/Xvfb_screen0"
xvfb_pid="" wm_pid="" camsim_pid="" probe_pid="" tool_pid=""
wine_com1_mapped=""
stop() {
    local pid
    for pid in "$@"; do
        if [[ -n $pid ]]; then
            kill "$pid" 2>/dev/null || true
        fi
    done
    for pid in "$@"; do
        if [[ -n $pid ]]; then
            wait "$pid" 2>/dev/null || true
        fi
    done
}
cleanup() {
    exec 3>&- 2>/dev/null || true
    stop "$tool_pid" "$probe_pid"
    if [[ -n $wine_com1_mapped ]]; then
        wine_unmap_com1
    fi
    stop "$camsim_pid" "$wm_pid" "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "desktop-update: $*" >&2
    if [[ -s $work/probe.log ]]; then
        echo "desktop-update: what the application showed last:" >&2
        last_snapshot >&2
    fi
    if [[ -s $work/tool.out ]]; then
        echo "desktop-update: what tk358fw.exe wrote:" >&2
        cat "$work/tool.out" >&2
    fi
    exit 1
}

# poll SECONDS CONDITION...: polls the condition every 0.1 s; false when it did not come true.
poll() {
    local tries=$(($1 * 10))
    shift
    while ((tries-- > 0)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
# wait_for SECONDS WHAT CONDITION...: the same, and a time-out, or the application's end before
# the condition holds, ends the run naming WHAT.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    local tries=$((seconds * 10))
    while ((tries-- > 0)); do
        "$@" && return 0
        if [[ -n $tool_pid ]] && ! kill -0 "$tool_pid" 2>/dev/null; then
            fail "tk358fw.exe ended while the run waited for $what"
        fi
        sleep 0.1
    done
    fail "timed out after $seconds s waiting for $what"
}

# --- What the window probe reports -------------------------------------------------------------

# The last complete snapshot the probe wrote.
last_snapshot() {
    awk '/^snapshot /{ block = ""; inside = 1; next }
        inside { block = block $0 "\n" }
        /^end$/ && inside { last = block; inside = 0 }
        END { printf "%s", last }' "$work/probe.log"
}
# The topmost window of the last snapshot with a line (its own or a control's) matching the
# extended regular expression: its window line, then its controls.
window_with() {
    last_snapshot | awk -v pattern="$1" '
        /^window / { if (found) exit; block = $0 "\n"; found = ($0 ~ pattern); next }
        /^control / { block = block $0 "\n"; if ($0 ~ pattern) found = 1; next }
        END { if (found) printf "%s", block }'
}
# field NAME LINE: the value of NAME=... before the line's text.
field() {
    local head=${2%% text=*}
    sed -n "s/.* $1=\\([^ ]*\\).*/\\1/p" <<<"$head"
}
# The text of a line (always its last field).
text_of() { [[ $1 == *" text="* ]] && echo "${1#* text=}"; }
# The line of control ID in a window block.
control() { grep -E "^control .* id=$2 " <<<"$1" | head -1 || true; }

# --- The screen --------------------------------------------------------------------------------

# The X window shown for the Win32 window whose inside is at X,Y (W x H): "XID".
x_window_at() {
    local x y w h id geometry
    IFS=, read -r x y w h <<<"$1"
    for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        geometry=$(xwininfo -id "$id" 2>/dev/null | awk -F: '
            /Absolute upper-left X/ { x = $2 + 0 } /Absolute upper-left Y/ { y = $2 + 0 }
            /  Width/ { w = $2 + 0 } /  Height/ { h = $2 + 0 }
            END { print x "," y "," w "," h }')
        if [[ $geometry == "$x,$y,$w,$h" ]]; then
            echo "$id"
            return 0
        fi
    done
    return 1
}

# check_window NAME BLOCK: the window appeared on the screen: an X window shows its inside, and
# with the window manager's frame it fits the screen. Sets `client` (its inside), `xid` (its X
# window) and `frame` (X,Y,W,H with the frame).
check_window() {
    local name=$1 left right top bottom x y w h
    client=$(field client "$(head -1 <<<"$2")")
    xid=$(x_window_at "$client") ||
        fail "the $name ($client) has no X window of that place and size"
    read -r left right top bottom < <(xprop -id "$xid" _NET_FRAME_EXTENTS |
        sed -n 's/.*= *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1 \2 \3 \4/p')
    [[ -n ${bottom:-} ]] || fail "the window manager does not frame the $name"
    IFS=, read -r x y w h <<<"$client"
    frame="$((x - left)),$((y - top)),$((w + left + right)),$((h + top + bottom))"
    if ((x - left < 0 || y - top < 0 || x + w + right > screen_width ||
        y + h + bottom > screen_height)); then
        fail "the $name does not fit the ${screen_width}x$screen_height screen: $frame"
    fi
    echo "  $(elapsed) $name: ${frame//,/ } (x y width height, frame included) on the screen"
}

# read_screen WHAT X,Y,W,H: read_screen's reading of the rectangle of the screen.
read_screen() {
    local rect
    IFS=, read -ra rect <<<"$2"
    "$reader" "$screen" "$1" "${rect[@]}"
}
# The colours of a rectangle X,Y,W,H of the screen: "dark=N RRGGBB=N ..." (most frequent first).
colours() { read_screen colours "$1"; }
# Whether the rectangle is mostly the colour (its most frequent one, over half of its pixels).
mostly() {
    local x y w h reading
    IFS=, read -r x y w h <<<"$1"
    reading=$(colours "$1") || return 1
    [[ $reading =~ ^dark=[0-9]+\ ([0-9A-F]{6})=([0-9]+) ]] &&
        [[ ${BASH_REMATCH[1]} == "$2" ]] && ((BASH_REMATCH[2] * 2 > w * h))
}
# shot NAME [X,Y,W,H]: the screen, or the rectangle with a margin around it.
shot() {
    [[ -n $shots ]] || return 0
    local crop=()
    if [[ -n ${2:-} ]]; then
        local x y w h m=24
        IFS=, read -r x y w h <<<"$2"
        crop=(-crop "$((w + 2 * m))x$((h + 2 * m))+$((x - m))+$((y - m))" +repage)
    fi
    convert "xwd:$screen" "${crop[@]}" "$shots/windows-$1.png"
    echo "  $shots/windows-$1.png"
}
keys() { xdotool windowfocus --sync "$1" key "${@:2}"; }
# Seconds since the application was started, as "[12.3 s]".
elapsed() { awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "[%5.1f s]", b - a }'; }

# --- The private X server, the window manager, the camera --------------------------------------

Xvfb -displayfd 5 -screen 0 "${screen_width}x${screen_height}x24" -nolisten tcp -noreset \
    -fbdir "$work" 5>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for 20 "the X server" test -s "$work/display"
DISPLAY=":$(head -1 "$work/display")"
export DISPLAY
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
wait_for 20 "the window manager" wm_ready
# The pointer in a corner, off the dialogs, whose pixels are read from the screen.
xdotool mousemove "$((screen_width - 1))" "$((screen_height - 1))"

firmware="$work/sample-1.20.fw"
"$maker" "$firmware" 1.20 >/dev/null
start_camsim_on_pty "$work" desktop-update "$camsim" --id "$camera_id" \
    --firmware-version "$camera_version" --save-image "$work/received.bin" --log "$work/camsim.log"
pty=$camsim_pty

# --- Wine: COM1 the camera and no other COM port -------------------------------------------------

wine_map_com1 "$pty" desktop-update || fail "no COM1 for the camera"

# --- The update ----------------------------------------------------------------------------

/usr/bin/time -f '%U %S' -o "$work/probe.time" env TK358_WINE_DISPLAY="$DISPLAY" \
    "$here/wine-run.sh" "$wine_prefix" "$probe" watch tk358fw.exe \
    >"$work/probe.log" 2>"$work/probe.errors" 3>&- &
probe_pid=$!
start=$(date +%s.%N)
(cd "$work" && exec /usr/bin/time -f '%e %U %S' -o "$work/tool.time" \
    env TK358_WINE_DISPLAY="$DISPLAY" "$here/wine-run.sh" "$wine_prefix" "$tool") \
    3>&- >"$work/tool.out" 2>&1 &
tool_pid=$!
tool_ended() { ! kill -0 "$tool_pid" 2>/dev/null; }
echo "The Windows desktop application, step by step:"

main_window() { window_with "^window .* class=Tk358fwMainFrame "; }

# 1. The port dialog: AUTO preselected, OK the default button.
port_dialog() { [[ -n $(window_with ' id=115 .*button=radio') ]]; }
wait_for 60 "the port dialog" port_dialog
block=$(window_with ' id=115 .*button=radio')
[[ $(text_of "$(head -1 <<<"$block")") == "$title" ]] || fail "the port dialog's caption is wrong"
for port in "115 1 AUTO" "111 0 COM1" "112 0 COM2" "113 0 COM3" "114 0 COM4"; do
    read -r id checked name <<<"$port"
    line=$(control "$block" "$id")
    [[ $(field checked "$line") == "$checked" && $(text_of "$line") == "$name" ]] ||
        fail "the port dialog's button $id is not $name with checked=$checked: $line"
done
[[ $(field button "$(control "$block" 1)") == default ]] || fail "OK is not the default button"
[[ $(text_of "$(control "$block" 2)") == "&Quit" ]] || fail "the port dialog has no Quit"
check_window "port dialog" "$block"
wait_for 10 "the port dialog drawn on the screen" mostly "$client" "$grey"
shot port-dialog "$frame"
keys "$xid" Return
no_port_dialog() { ! port_dialog; }
wait_for 30 "the port dialog to close" no_port_dialog
searching() {
    grep -qF "text=Searching for Orvia Lumen Precision TK358 zoom camera ..." <<<"$(main_window)"
}
# (Found on COM1 at once, the camera may already be on the prompt line.)
if searching; then
    shot main-window
fi

# 2. The camera found: the prompt line shows its ID and version.
prompt_shows_camera() {
    grep -qF "text=Camera ID: $camera_id" <<<"$(main_window)" &&
        grep -qF "Firmware Version: $camera_version" <<<"$(main_window)"
}
wait_for 60 "the prompt line with the camera's ID and version" prompt_shows_camera
block=$(main_window)
prompt=$(grep -F "text=Camera ID: $camera_id" <<<"$block")
echo "  $(elapsed) prompt line: $(text_of "$prompt")"
check_window "main window" "$block"
prompt_rect=$(field rect "$prompt")
prompt_has_text() {
    [[ $(colours "$prompt_rect") =~ ^dark=([0-9]+) ]] && ((BASH_REMATCH[1] > 100))
}
wait_for 10 "the prompt line's text on the screen" prompt_has_text

# 3. The file dialog: the firmware file's Windows path typed, then Return.
file_dialog() { window_with ' id=1148 '; }
have_file_dialog() { [[ -n $(file_dialog) ]]; }
wait_for 60 "the file dialog" have_file_dialog
block=$(file_dialog)
check_window "file dialog" "$block"
file_xid=$xid
shot file-dialog
name_field() { text_of "$(grep -F ' class=Edit ' <<<"$(file_dialog)" | head -1)"; }
# The initial name comes from the filter's pattern.
[[ $(name_field) == "*.fw " ]] ||
    fail "the file dialog's name field holds \"$(name_field)\", not \"*.fw \""
windows_path=$(wine_run --exec winepath -w "$firmware")
keys "$file_xid" ctrl+a
xdotool type --delay 20 "$windows_path"
# (The probe writes a backslash as two.)
path_typed() { [[ $(name_field) == "${windows_path//\\/\\\\}" ]]; }
wait_for 10 "the typed path in the file dialog's name field" path_typed
no_file_dialog() { ! have_file_dialog; }
# (The dialog may take the first Return for its completion list: then once more.)
for _ in 1 2 3; do
    keys "$file_xid" Return 2>/dev/null || true
    poll 3 no_file_dialog && break
done
no_file_dialog || fail "the file dialog did not close on Return"

# 4. The progress window up to 100 %.
progress_window() { window_with '^control .* id=100 .*text=Downloading firmware'; }
have_progress() { [[ -n $(progress_window) ]]; }
wait_for 60 "the progress window" have_progress
block=$(progress_window)
check_window "progress window" "$block"
progress_client=$client
progress_frame=$frame
readings=0 last_percent=-1 mid_shot="" completed="" figure_on_white="" figure_on_blue=""
# Reads the picture from the screen; a reading counts when a second one agrees (the screen file is
# read while the X server may be drawing the next picture).
read_progress() {
    local reading again percent bar
    reading=$(read_screen progress "$progress_client") || return 0
    again=$(read_screen progress "$progress_client") || return 0
    [[ $reading == "$again" && $reading =~ \
        frame=1\ bar=([0-9]+)\ percent=([0-9]+)\ on_white=([0-9]+)\ on_blue=([0-9]+) ]] || return 0
    bar=${BASH_REMATCH[1]} percent=${BASH_REMATCH[2]}
    # The figure's glyphs: blue on the white frame, white on the blue bar.
    ((percent > 0 && percent < 44 && BASH_REMATCH[3] > 0)) && figure_on_white=yes
    ((percent >= 56 && BASH_REMATCH[4] > 0)) && figure_on_blue=yes
    ((bar == 3 * percent)) || fail "the progress bar is $bar pixels wide at $percent %"
    ((percent >= last_percent)) || fail "the progress went back from $last_percent to $percent %"
    last_percent=$percent
    ((++readings))
    if [[ -z $mid_shot ]] && ((percent >= 30)); then
        shot progress-window "$progress_frame"
        mid_shot=yes
    fi
}
# Ends with the window's last text: completed, or the window gone. Meanwhile the screen is read
# every half second.
polls=0
transfer_ended() {
    local window
    window=$(progress_window)
    if [[ -z $window ]]; then
        return 0
    fi
    if [[ $(text_of "$(control "$window" 100)") == "Downloading firmware completed." ]]; then
        completed=yes
        return 0
    fi
    if ((polls++ % 5 == 0)); then
        read_progress
    fi
    return 1
}
wait_for 600 "the end of the transfer" transfer_ended
[[ -n $completed ]] ||
    fail "the progress window closed without \"Downloading firmware completed.\"" \
        "(last $last_percent %)"
# The text comes first, then the picture; both stay for a second.
shows_100() { read_progress && ((last_percent == 100)); }
poll 1 shows_100 ||
    fail "the screen shows $last_percent % at \"Downloading firmware completed.\""
[[ -n $figure_on_white && -n $figure_on_blue ]] ||
    fail "the figure was not seen blue on white (below 44 %) and white on blue (from 56 %)"
echo "  $(elapsed) progress window: $readings readings from the screen," \
    "100 % at \"Downloading firmware completed.\""

# 5. The success message, then Return: the application ends with status 0.
success() {
    window_with 'text=Firmware 1\.20 was successfully installed in your Orvia Lumen Precision TK358'
}
have_success() { [[ -n $(success) ]]; }
wait_for 60 "the success message" have_success
block=$(success)
check_window "success message" "$block"
wait_for 10 "the success message drawn on the screen" mostly "$client" "$grey"
shot success-dialog "$frame"
keys "$xid" Return
wait_for 60 "the application to end" tool_ended
end=$(date +%s.%N)
status=0
wait "$tool_pid" || status=$?
tool_pid=""
((status == 0)) || fail "tk358fw.exe ended with status $status after the success message"
wait "$probe_pid" 2>/dev/null || true
probe_pid=""

# The Wine server's CPU time (it carried every window and port call of the run, the probe's too).
server_cpu=$(wine_server_cpu)
[[ -n $server_cpu ]] || fail "the Wine server of the run was not this script's; its CPU time is missing"
wine_unmap_com1

exec 3>&-
wait "$camsim_pid" || true
camsim_pid=""
if ! cmp -s <(tail -c +129 "$firmware" | head -c 196608) "$work/received.bin"; then
    fail "what the camera saved differs from the file's image"
fi

read -r _ user sys <"$work/tool.time"
read -r probe_user probe_sys <"$work/probe.time"
awk -v wall="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" -v user="$user" \
    -v sys="$sys" -v server="$server_cpu" -v probe="$(awk -v u="$probe_user" -v s="$probe_sys" \
    'BEGIN { print u + s }')" 'BEGIN {
    cpu = user + sys + server
    printf "windows desktop: whole update installed; the camera saved exactly the file'\''s image\n"
    printf "  wall time %.1f s (start to exit)\n", wall
    printf "  CPU time %.2f s (tk358fw.exe: user %.2f s, system %.2f s; Wine server %.2f s)",
        cpu, user, sys, server
    printf " = %.2f %% of wall time\n", 100 * cpu / wall
    printf "  (the window probe itself: %.2f s, not counted; the server'\''s time includes", probe
    printf " its queries)\n"
}'
