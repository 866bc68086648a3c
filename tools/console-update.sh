#!/usr/bin/env bash
# One whole firmware update with the terminal front end against the virtual camera on a
# pseudo-terminal, checked and timed:
#   1. writes a sample firmware file (version 1.20) and starts tk358-camsim on a pseudo-terminal,
#   2. runs `tk358fw --console` on COM1 with the answers COM1, the file and OK: the Linux program
#      with TK358FW_COM1 naming the pseudo-terminal, or tk358fw.exe under Wine with Wine's COM1
#      mapped to it (registry HKLM\Software\Wine\Ports, taken back at the end),
#   3. checks the exit status and the success message, stops the simulator and compares what the
#      camera saved with the file's image,
#   4. prints the update's wall time and the CPU time it cost (under Wine including the Wine
#      server's, which carries every port call); under Wine it then runs the Windows port
#      driver's checks on the same port (test_serial.exe, Win32PortOnCom1).
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
linux_build=$(cd "$linux_build" && pwd)
camsim="$linux_build/sim/camsim/tk358-camsim"
maker="$linux_build/tools/make_sample_firmware"
if [[ $mode == linux ]]; then
    tool="$linux_build/src/app/main/tk358fw"
else
    windows_build=$(cd "$windows_build" && pwd)
    tool="$windows_build/src/app/main/tk358fw.exe"
    export WINEPREFIX="$windows_build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
fi
for program in "$tool" "$camsim" "$maker"; do
    [[ -f "$program" ]] || { echo "console-update: $program is missing; build first" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tk358fw-console-update.XXXXXX)
camsim_pid=""
com1_mapped=""
cleanup() {
    exec 3>&- 2>/dev/null || true
    if [[ -n "$camsim_pid" ]] && kill -0 "$camsim_pid" 2>/dev/null; then
        kill "$camsim_pid" 2>/dev/null || true
        wait "$camsim_pid" 2>/dev/null || true
    fi
    if [[ -n "$com1_mapped" ]]; then
        "$here/wine-run.sh" "$WINEPREFIX" reg delete 'HKLM\Software\Wine\Ports' /v COM1 /f \
            >/dev/null 2>&1 || true
        wineserver -k 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

firmware="$work/sample-1.20.fw"
"$maker" "$firmware" 1.20 >/dev/null

# The simulator runs until its standard input ends: fd 3 holds that input open.
mkfifo "$work/camsim.in" "$work/camsim.out"
"$camsim" --save-image "$work/received.bin" --log "$work/camsim.log" \
    <"$work/camsim.in" >"$work/camsim.out" &
camsim_pid=$!
exec 3>"$work/camsim.in"
exec 4<"$work/camsim.out"
line=""
if ! read -r -t 10 line <&4 || [[ "$line" != TK358FW_COM1=* ]]; then
    echo "console-update: tk358-camsim did not report its pseudo-terminal" >&2
    exit 1
fi
cat <&4 >/dev/null 3>&- &
exec 4<&-
pty="${line#TK358FW_COM1=}"

if [[ $mode == linux ]]; then
    command=(env TK358FW_COM1="$pty" TK358FW_COM2=/nonexistent TK358FW_COM3=/nonexistent
        TK358FW_COM4=/nonexistent "$tool" --console)
    answer_file="$firmware"
else
    # Wine's mount manager reads the port mapping when the Wine server starts.
    "$here/wine-run.sh" "$WINEPREFIX" reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ \
        /d "$pty" /f >/dev/null
    com1_mapped=yes
    wineserver -k 2>/dev/null || true
    wineserver -w
    # The Wine server of this run, in the foreground as a child of this script, so that its
    # CPU time can be read.
    wineserver -f -p &
    server_pid=$!
    command=(wine "$tool" --console)
    answer_file=$(winepath -w "$firmware")
fi

start=$(date +%s.%N)
set +e
printf 'COM1\n%s\n\n' "$answer_file" |
    /usr/bin/time -f '%e %U %S' -o "$work/time.txt" "${command[@]}" 3>&- >"$work/output.txt"
status=$?
set -e
end=$(date +%s.%N)

server_cpu=0
if [[ $mode == windows ]]; then
    # (Should another server have won the start, its time is not counted: a note says so.)
    if ticks=$(awk '{ print $14 + $15 }' "/proc/$server_pid/stat" 2>/dev/null); then
        server_cpu=$(awk -v t="$ticks" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", t / hz }')
    else
        echo "console-update: the Wine server of the run was not this script's; its CPU time is missing" >&2
    fi
    # The port driver's own checks on the same port: every rate, the break, and the settings
    # it found put back on closing.
    if ! TK358_TEST_COM1=1 wine "$windows_build/tests/test_serial.exe" \
        --gtest_filter='Win32PortOnCom1.*' >"$work/driver.txt" 2>&1 ||
        ! grep -q '^\[  PASSED  \] 1 test' "$work/driver.txt"; then
        cat "$work/driver.txt" >&2
        echo "console-update: the checks of the Windows port driver on COM1 failed" >&2
        exit 1
    fi
    wineserver -k 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
fi

tr -d '\r' <"$work/output.txt" >"$work/shown.txt"
if [[ $status -ne 0 ]] ||
    ! grep -q "Firmware 1.20 was successfully installed" "$work/shown.txt"; then
    cat "$work/shown.txt" >&2
    echo "console-update: tk358fw exited with status $status without installing" >&2
    exit 1
fi

exec 3>&-
wait "$camsim_pid" || true
camsim_pid=""
if ! cmp -s <(tail -c +129 "$firmware" | head -c 196608) "$work/received.bin"; then
    echo "console-update: what the camera saved differs from the file's image" >&2
    exit 1
fi

read -r _ user sys <"$work/time.txt"
awk -v wall="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" -v user="$user" \
    -v sys="$sys" -v server="$server_cpu" -v mode="$mode" 'BEGIN {
    cpu = user + sys + server
    printf "%s: whole update installed; the camera saved exactly the file'\''s image\n", mode
    printf "  wall time %.1f s\n", wall
    printf "  CPU time %.2f s (tk358fw: user %.2f s, system %.2f s", cpu, user, sys
    if (mode == "windows") printf "; Wine server %.2f s", server
    printf ") = %.2f %% of wall time\n", 100 * cpu / wall
}'
