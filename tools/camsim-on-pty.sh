# For the scripts that drive a whole update: sourced, not run.
#
# start_camsim_on_pty WORK NAME CAMSIM [ARGUMENT...]
#   starts tk358-camsim (CAMSIM) with the arguments on a pseudo-terminal and sets camsim_pid and
#   camsim_pty (the device to name as COM1). The simulator runs until its standard input ends:
#   the calling shell holds that input open on fd 3, so closing fd 3 stops it. Its other output
#   is read and dropped. WORK is a folder for its pipes; NAME heads the error message.
start_camsim_on_pty() {
    local work=$1 name=$2 camsim=$3 line=""
    shift 3
    mkfifo "$work/camsim.in" "$work/camsim.out"
    "$camsim" "$@" <"$work/camsim.in" >"$work/camsim.out" &
    camsim_pid=$!
    exec 3>"$work/camsim.in"
    exec 4<"$work/camsim.out"
    if ! read -r -t 10 line <&4 || [[ "$line" != TK358FW_COM1=* ]]; then
        echo "$name: tk358-camsim did not report its pseudo-terminal" >&2
        return 1
    fi
    cat <&4 >/dev/null 3>&- &
    exec 4<&-
    camsim_pty=${line#TK358FW_COM1=}
}
