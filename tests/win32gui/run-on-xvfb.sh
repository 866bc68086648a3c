#!/usr/bin/env bash
# Runs a Windows GUI test program under Wine on a private X server: Wine without a display cannot
# create windows. The program makes a desktop of its own for its windows, so that the Wine
# server's other programs (headless) and this one do not share one.
#
#   tests/win32gui/run-on-xvfb.sh PREFIX PROGRAM.exe [ARGUMENT...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/tk358fw-win32gui.XXXXXX)
xvfb=""
cleanup() {
    if [[ -n $xvfb ]]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
# Xvfb writes its display number once it accepts connections.
mkfifo "$work/display"
exec 3<>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
if ! read -r -t 20 number <&3; then
    echo "run-on-xvfb: Xvfb did not start" >&2
    exit 1
fi
exec 3>&-
set +e
TK358_WINE_DISPLAY=:$number "$here/../../tools/wine-run.sh" "$@"
status=$?
set -e
exit "$status"
