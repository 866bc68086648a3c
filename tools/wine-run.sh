#!/usr/bin/env bash
# Runs a Windows program under Wine without a display (or, for that program alone, on the X
# display named by TK358_WINE_DISPLAY), in a private Wine prefix that is created on first use and
# reused after that. No Mono or Gecko installer is offered (their DLLs are
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
# at once.
(
    flock 9
    if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
        wineboot --init >/dev/null 2>&1 || true
        wineserver --wait
        [[ -f "$WINEPREFIX/system.reg" ]] || { echo "wine-run: could not create $WINEPREFIX" >&2; exit 1; }
    fi
    # The server stays 20 s after its last program, so that a program never starts while its
    # server is ending ("wine client error: recvmsg: Connection reset by peer"). Its system
    # processes (services.exe, winedevice.exe ...) are started here, with nothing of the
    # caller's: started by the first program they would hold its standard error open for the
    # server's lifetime, and whoever reads that program's output (ctest, test discovery) would
    # wait for them. A server that runs already is left as it is (status 2).
    if [[ $# -gt 0 ]] && wineserver -p20 </dev/null >/dev/null 2>&1 9>&-; then
        wineboot </dev/null >/dev/null 2>&1 9>&- || true
    fi
) 9>"$WINEPREFIX.lock"

[[ $# -eq 0 ]] && exit 0
if [[ -n ${TK358_WINE_DISPLAY:-} ]]; then
    # Only the program sees the display: the server's system processes above stay headless.
    export DISPLAY=$TK358_WINE_DISPLAY
fi
exec wine "$@"
