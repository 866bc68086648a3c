# For the scripts that run a Windows program under Wine against the virtual camera: sourced, not
# run. Every Wine process goes through tools/wine-run.sh (no serial device of this machine);
# nothing of Wine keeps the simulator's input (fd 3) open, so that closing it stops the simulator.
#
# wine_run ARGUMENT...     tools/wine-run.sh with the prefix `wine_prefix` (set by the caller)
# wine_map_com1 PTY NAME   maps Wine's COM1 to PTY, starts this run's Wine server with its system
#                          processes, checks every COM port it knows and sets wine_server_pid
#                          (empty when another server won the start); NAME heads the error message
# wine_unmap_com1          takes the mapping back, stops the server and forgets the COM names
# wine_server_cpu          the CPU seconds the server of this run has used so far (empty when not
#                          known)
wine_run() {
    "$here/wine-run.sh" "$wine_prefix" "$@" 3>&-
}

wine_map_com1() {
    local pty=$1 name=$2 pid com1
    wine_run reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$pty" /f >/dev/null
    wine_com1_mapped=yes
    # Wine's mount manager reads the port mapping when the Wine server starts.
    wine_run --exec wineserver -k 2>/dev/null || true
    wine_run --exec wineserver -w
    # The Wine server of this run (it is ready when the command returns), found by its prefix so
    # that its CPU time can be read; then its system processes and its ports.
    wine_run --exec wineserver -p
    wine_server_pid=""
    for pid in $(pgrep -x wineserver64 || true); do
        if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$wine_prefix"; then
            wine_server_pid=$pid
        fi
    done
    wine_run --check-ports
    com1=$(readlink "$wine_prefix/dosdevices/com1" || true)
    if [[ $com1 != "$pty" ]]; then
        echo "$name: Wine's COM1 leads to \"$com1\", not to the camera's $pty" >&2
        return 1
    fi
}

wine_unmap_com1() {
    if [[ -n ${wine_com1_mapped:-} ]]; then
        wine_run reg delete 'HKLM\Software\Wine\Ports' /v COM1 /f >/dev/null 2>&1 || true
        wine_com1_mapped=""
    fi
    wine_run --exec wineserver -k 2>/dev/null || true
    wine_run --exec wineserver -w 2>/dev/null || true
    wine_server_pid=""
    # The COM name made for the pseudo-terminal, which is gone now.
    rm -f "$wine_prefix"/dosdevices/com[0-9]*
}

wine_server_cpu() {
    local ticks
    if [[ -n ${wine_server_pid:-} ]] &&
        ticks=$(awk '{ print $14 + $15 }' "/proc/$wine_server_pid/stat" 2>/dev/null); then
        awk -v t="$ticks" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f", t / hz }'
    fi
}
