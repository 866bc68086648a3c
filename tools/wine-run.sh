#!/usr/bin/env bash
# Runs a Windows program under Wine without a display (or, for that program alone, on the X
# display named by TK358_WINE_DISPLAY), in a private Wine prefix that is created on first use and
# reused after that. No Mono or Gecko installer is offered (their DLLs are
# switched off), Wine's menu builder writes nothing into this machine's desktop menus
# (winemenubuilder.exe switched off), and Wine's own diagnostics stay quiet.
#
# Wine reaches no serial device of this machine. Its mount manager gives every /dev/ttyS*,
# /dev/ttyUSB* and /dev/ttyACM* that exists a free COM name (a name set to "" in the registry only
# moves it to the next free one), so every Wine process of the project (the server, its system
# processes with the mount manager, the programs) runs in a mount namespace of its own whose /dev
# holds only what Wine needs (null, zero, random, the pseudo-terminals, shared memory) and no
# serial device. The only COM ports are those a test maps to its pseudo-terminals
# (HKLM\Software\Wine\Ports, e.g. COM1=/dev/pts/3). The prefix's COM names are removed whenever a
# Wine server starts (its mount manager makes them anew from the mapping, and a name left from an
# earlier mapping could lead to a pseudo-terminal that is someone's terminal by now), and the
# server's device map is checked once it has started: a COM port that is no pseudo-terminal stops
# the run.
#
#   tools/wine-run.sh PREFIX PROGRAM.exe [ARGUMENT...]   runs the program; its exit status is ours
#   tools/wine-run.sh PREFIX --exec COMMAND [ARGUMENT...] runs a Wine tool (wine, wineserver,
#                                                         winepath) the same way
#   tools/wine-run.sh PREFIX --check-ports               starts the server's system processes
#                                                         and checks its device map
#   tools/wine-run.sh PREFIX                             only creates the prefix
# The namespace needs root, or unprivileged user namespaces.
set -euo pipefail

usage="usage: tools/wine-run.sh PREFIX [PROGRAM.exe [ARGUMENT...] | --exec COMMAND... | --check-ports]"

# A /dev with what Wine needs and no serial device, in place of this machine's; NEW is an empty
# folder to build it in (inside the namespace, where nothing of it shows outside).
private_dev() {
    local new=$1 name
    mount -t tmpfs -o mode=0755,size=64k tk358-wine-dev "$new"
    for name in null zero random urandom; do
        : >"$new/$name"
        mount --bind "/dev/$name" "$new/$name"
    done
    for name in pts shm; do
        mkdir "$new/$name"
        mount --rbind "/dev/$name" "$new/$name"
    done
    ln -s /proc/self/fd "$new/fd"
    mount --move "$new" /dev
}

prefix=${1:?$usage}
shift
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX
WINEPREFIX=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")

# Everything below runs in a mount namespace of its own with that /dev.
if [[ ${TK358_WINE_NAMESPACE:-} != "$WINEPREFIX" ]]; then
    mkdir -p "$WINEPREFIX.dev"
    if [[ $(id -u) -eq 0 ]]; then
        namespace=(unshare --mount --propagation private)
    else
        namespace=(unshare --user --map-current-user --mount --propagation private)
    fi
    TK358_WINE_NAMESPACE=$WINEPREFIX exec "${namespace[@]}" "$0" "$prefix" "$@"
fi
unset TK358_WINE_NAMESPACE
private_dev "$WINEPREFIX.dev"

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

# Removes the prefix's COM names; the mount manager of the server about to start makes those of
# the mapping anew.
remove_port_names() {
    rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
}

# Fails unless every COM port of the running server's device map is a pseudo-terminal.
check_ports() {
    local name device target
    while read -r device _ name; do
        [[ $device == \\Device\\* ]] || continue
        name=${name%$'\r'}
        target=$(readlink "$WINEPREFIX/dosdevices/${name,,}" 2>/dev/null || true)
        if [[ $target != /dev/pts/* ]]; then
            echo "wine-run: Wine's $name ($device) leads to '$target', not to a pseudo-terminal" \
                "of a test; stopped" >&2
            wineserver -k
            return 1
        fi
    done < <(wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null </dev/null)
    for link in "$WINEPREFIX"/dosdevices/com*; do
        if [[ -L $link && $(readlink "$link") != /dev/pts/* ]]; then
            echo "wine-run: $link leads to $(readlink "$link"); stopped" >&2
            wineserver -k
            return 1
        fi
    done
}

# One creation of the prefix, and one start of its Wine server, even when several programs start
# at once.
(
    flock 9
    if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
        wineboot --init >/dev/null 2>&1 || true
        wineserver --wait
        remove_port_names
        [[ -f "$WINEPREFIX/system.reg" ]] || { echo "wine-run: could not create $WINEPREFIX" >&2; exit 1; }
    fi
    # The server stays 20 s after its last program, so that a program never starts while its
    # server is ending ("wine client error: recvmsg: Connection reset by peer"). Its system
    # processes (services.exe, winedevice.exe ...) are started here, with nothing of the
    # caller's: started by the first program they would hold its standard error open for the
    # server's lifetime, and whoever reads that program's output (ctest, test discovery) would
    # wait for them. A server that runs already is left as it is (status 2). A Wine tool run
    # with --exec starts what it needs itself.
    if [[ $# -gt 0 && $1 == --check-ports ]]; then
        wineboot </dev/null >/dev/null 2>&1 9>&- || true
        check_ports 9>&-
    elif [[ $# -gt 0 && $1 != --exec ]] &&
        wineserver -p20 </dev/null >/dev/null 2>&1 9>&-; then
        remove_port_names
        wineboot </dev/null >/dev/null 2>&1 9>&- || true
        check_ports 9>&-
    fi
) 9>"$WINEPREFIX.lock"

[[ $# -eq 0 || $1 == --check-ports ]] && exit 0
if [[ $1 == --exec ]]; then
    shift
    [[ $# -gt 0 ]] || { echo "$usage" >&2; exit 2; }
    # A server started here maps the ports anew.
    if [[ $1 == wineserver && " ${*:2} " != *" -k "* && " ${*:2} " != *" -w "* ]]; then
        remove_port_names
    fi
    exec "$@"
fi
if [[ -n ${TK358_WINE_DISPLAY:-} ]]; then
    # Only the program sees the display: the server's system processes above stay headless.
    export DISPLAY=$TK358_WINE_DISPLAY
fi
exec wine "$@"
