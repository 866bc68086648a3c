#!/usr/bin/env bash
# One whole firmware update with the terminal front end against the virtual camera on a
# pseudo-terminal, checked and timed:
#   1. writes a sample firmware file (version 1.20, its name in Latin-1 and Cyrillic letters) and
#      starts tk358-camsim on a pseudo-terminal,
#   2. runs `tk358fw --console` on COM1 with the answers COM1, the file and OK: the Linux program
#      with TK358FW_COM1 naming the pseudo-terminal, or tk358fw-console.exe under Wine with Wine's
#      COM1 mapped to it (registry HKLM\Software\Wine\Ports, taken back at the end; every Wine
#      use goes through tools/wine-run.sh, so that Wine sees no serial device of this machine),
#   3. checks the exit status and the success message, stops the simulator and compares what the
#      camera saved with the file's image,
#   4. prints the update's wall time and the CPU time it cost (under Wine including the Wine
#      server's, which carries every port call); under Wine it then runs the Windows port
#      driver's checks on the same port (test_serial.exe, Win32PortOnCom1).
# A stop request (SIGTERM; under Wine SIGINT, which Wine turns into the console's Ctrl+C) comes
# once during the transfer: it is acknowledged and the update goes on. A second run, connected
# and waiting at the file question, is stopped the same way: it ends at once, with the port's
# own settings (19,200 bit/s, XON/XOFF) put back, and the status of the stop request (143 for
# SIGTERM, 130 for Ctrl+C).
#
#   tools/console-update.sh linux   LINUX_BUILD
#   tools/console-update.sh windows LINUX_BUILD WINDOWS_BUILD
# The Linux build supplies tk358-camsim and make_sample_firmware in both cases.
set -euo pipefail

mode=${1:-}
linux_build=${2:-}
windows_build=${3:-}
usage="usage: tools/console-update.sh linux LINUX_BUILD | windows LINUX_BUILD WINDOWS_BUILD"
[[ -n "$linux_build" && ($mode == linux || ($mode == windows && -n "$windows_build")) ]] ||
    { echo "$usage" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
source "$here/camsim-on-pty.sh"
source "$here/wine-com1.sh"
linux_build=$(cd "$linux_build" && pwd)
camsim="$linux_build/sim/camsim/tk358-camsim"
maker="$linux_build/tools/make_sample_firmware"
if [[ $mode == linux ]]; then
    tool="$linux_build/src/app/main/tk358fw"
else
    windows_build=$(cd "$windows_build" && pwd)
    tool="$windows_build/src/app/main/tk358fw-console.exe"
    wine_prefix="$windows_build/wine"
fi
for program in "$tool" "$camsim" "$maker"; do
    [[ -f "$program" ]] || { echo "console-update: $program is missing; build first" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tk358fw-console-update.XXXXXX)
camsim_pid=""
wine_com1_mapped=""
cleanup() {
    exec 3>&- 2>/dev/null || true
    if [[ -n "$camsim_pid" ]] && kill -0 "$camsim_pid" 2>/dev/null; then
        kill "$camsim_pid" 2>/dev/null || true
        wait "$camsim_pid" 2>/dev/null || true
    fi
    if [[ -n "$wine_com1_mapped" ]]; then
        wine_unmap_com1
    fi
    rm -rf "$work"
}
trap cleanup EXIT

firmware="$work/Jürgen прошивка 1.20.fw"
"$maker" "$firmware" 1.20 >/dev/null

start_camsim_on_pty "$work" console-update "$camsim" --save-image "$work/received.bin" \
    --log "$work/camsim.log"
pty=$camsim_pty

if [[ $mode == linux ]]; then
    command=(env TK358FW_COM1="$pty" TK358FW_COM2=/nonexistent TK358FW_COM3=/nonexistent
        TK358FW_COM4=/nonexistent "$tool" --console)
    answer_file="$firmware"
else
    # Wine's mount manager reads the port mapping when the Wine server starts.
    wine_map_com1 "$pty" console-update
    command=("$here/wine-run.sh" "$wine_prefix" "$tool" --console)
    # Wine's drive Z: is the root folder.
    answer_file="Z:${firmware//\//\\}"
fi

if [[ $mode == linux ]]; then
    stop_signal=TERM
    stopped_status=$((128 + 15))
else
    stop_signal=INT
    stopped_status=130  # Ctrl+C, as SIGINT on POSIX shells
fi

# The longest the tool may write nothing (a whole update writes a line every tenth of it).
quiet_limit=300

# run_tool OUTPUT_FILE STOP_AT NTH ANSWER...: runs the tool with the answers, one a line, on its
# input, which stays open; its output goes to OUTPUT_FILE line by line (standard error to
# OUTPUT_FILE.errors, its times to OUTPUT_FILE.time), and the tool gets the stop request once, at
# the NTH line that starts with STOP_AT. Sets `status`.
run_tool() {
    local output_file=$1 stop_at=$2 nth=$3 line tool_pid="" seen=0
    rm -f "$work/tool.in" "$work/tool.out"
    mkfifo "$work/tool.in" "$work/tool.out"
    exec 5<>"$work/tool.in"
    printf '%s\n' "${@:4}" >&5
    /usr/bin/time -f '%e %U %S' -o "$output_file.time" "${command[@]}" 3>&- 5>&- \
        <"$work/tool.in" >"$work/tool.out" 2>"$output_file.errors" &
    local time_pid=$!
    : >"$output_file"
    exec 6<"$work/tool.out"
    for (( ; ; )); do
        if ! IFS= read -r -t "$quiet_limit" line <&6; then
            # The end of the output, or a tool silent for too long: that one is ended.
            [[ -n $line ]] && printf '%s\n' "$line" >>"$output_file"
            if kill -0 "$time_pid" 2>/dev/null && tool_pid=$(pgrep -P "$time_pid"); then
                echo "console-update: tk358fw wrote nothing for $quiet_limit s; ended" >&2
                kill -KILL "$tool_pid"
            fi
            break
        fi
        printf '%s\n' "$line" >>"$output_file"
        if [[ ${line%$'\r'} == "$stop_at"* ]] && ((++seen == nth)); then
            tool_pid=$(pgrep -P "$time_pid")
            kill -"$stop_signal" "$tool_pid"
        fi
    done
    exec 6<&-
    set +e
    wait "$time_pid"
    status=$?
    set -e
    exec 5>&-
}

start=$(date +%s.%N)
run_tool "$work/output.txt" "Downloading firmware ...  10%" 1 COM1 "$answer_file" ""
end=$(date +%s.%N)

tr -d '\r' <"$work/output.txt" >"$work/shown.txt"
if [[ $status -ne 0 ]] ||
    ! grep -q "Firmware 1.20 was successfully installed" "$work/shown.txt"; then
    cat "$work/shown.txt" "$work/output.txt.errors" >&2
    echo "console-update: tk358fw exited with status $status without installing" >&2
    exit 1
fi
if ! grep -q "^the update is being finished; interrupting now leaves the camera without firmware" \
    "$work/output.txt.errors"; then
    cat "$work/output.txt.errors" >&2
    echo "console-update: the stop request during the transfer was not acknowledged" >&2
    exit 1
fi

server_cpu=0
if [[ $mode == windows ]]; then
    # (Should another server have won the start, its time is not counted: a note says so.)
    server_cpu=$(wine_server_cpu)
    if [[ -z $server_cpu ]]; then
        server_cpu=0
        echo "console-update: the Wine server of the run was not this script's; its CPU time is missing" >&2
    fi
fi

# Stopped while connected: the tool ends at once and the port is as it was found (what both
# systems' port settings hold: the rate and the XON/XOFF flow control).
stty -F "$pty" 19200 ixon
# The program's title heads the port question and, once connected, the file question.
run_tool "$work/stopped.txt" "Orvia TK358 Camera Update Software" 2 COM1
left=$(stty -a -F "$pty")
if [[ $status -ne $stopped_status || $left != *"speed 19200 baud"* ]] ||
    ! grep -qE '(^| )ixon( |$)' <<<"$left"; then
    tr -d '\r' <"$work/stopped.txt" >&2
    echo "console-update: stopped at the file question, tk358fw ended with status $status" \
        "(expected $stopped_status) and left the port at: $left" >&2
    exit 1
fi

if [[ $mode == windows ]]; then
    # The port driver's own checks on the same port: every rate, the break, and the settings
    # it found put back on closing.
    if ! TK358_TEST_COM1=1 wine_run "$windows_build/tests/test_serial.exe" \
        --gtest_filter='Win32PortOnCom1.*' >"$work/driver.txt" 2>&1 ||
        ! grep -q '^\[  PASSED  \] 1 test' "$work/driver.txt"; then
        cat "$work/driver.txt" >&2
        echo "console-update: the checks of the Windows port driver on COM1 failed" >&2
        exit 1
    fi
    wine_unmap_com1
fi

exec 3>&-
wait "$camsim_pid" || true
camsim_pid=""
if ! cmp -s <(tail -c +129 "$firmware" | head -c 196608) "$work/received.bin"; then
    echo "console-update: what the camera saved differs from the file's image" >&2
    exit 1
fi

read -r _ user sys <"$work/output.txt.time"
awk -v wall="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" -v user="$user" \
    -v sys="$sys" -v server="$server_cpu" -v mode="$mode" 'BEGIN {
    cpu = user + sys + server
    printf "%s: whole update installed; the camera saved exactly the file'\''s image\n", mode
    printf "  wall time %.1f s\n", wall
    printf "  CPU time %.2f s (tk358fw: user %.2f s, system %.2f s", cpu, user, sys
    if (mode == "windows") printf "; Wine server %.2f s", server
    printf ") = %.2f %% of wall time\n", 100 * cpu / wall
}'
