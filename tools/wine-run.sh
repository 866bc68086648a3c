#!/usr/bin/env bash
# Runs a Windows program under Wine without a display, in a private Wine prefix that is created
# on first use and reused after that. No Mono or Gecko installer is offered (their DLLs are
# switched off), and Wine's own diagnostics stay quiet.
#
#   tools/wine-run.sh PREFIX PROGRAM.exe [ARGUMENT...]   runs the program; its exit status is ours
#   tools/wine-run.sh PREFIX                             only creates the prefix
set -euo pipefail

prefix=${1:?usage: tools/wine-run.sh PREFIX [PROGRAM.exe [ARGUMENT...]]}
shift
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX
WINEPREFIX=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# One creation of the prefix, and one start of its Wine server, even when several programs start
# at once (two servers starting together can leave a program without either).
(
    flock 9
    if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
        wineboot --init >/dev/null 2>&1 || true
        wineserver --wait
        [[ -f "$WINEPREFIX/system.reg" ]] || { echo "wine-run: could not create $WINEPREFIX" >&2; exit 1; }
    fi
    # A server that stays 20 s after its last program: one that ended just as a program started
    # would leave that program without a server ("wine client error: recvmsg: Connection reset
    # by peer"). Nothing happens when the server runs already.
    [[ $# -eq 0 ]] || wineserver -p 20 >/dev/null 2>&1 9>&- || true
) 9>"$WINEPREFIX.lock"

[[ $# -eq 0 ]] && exit 0
exec wine "$@"
