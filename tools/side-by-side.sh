#!/usr/bin/env bash
# Lays the two sides of one update next to each other: tk358fw's wire trace (--trace) and
# tk358-camsim's log (--log) merged into one list in time order, on the trace's clock, each line
# marked with its side. Both files start with a heading that holds the calendar time their clock
# starts from; the camera's times are moved by the difference.
#
#   tools/side-by-side.sh TRACE CAMSIM_LOG
set -euo pipefail

if (($# != 2)); then
    echo "usage: tools/side-by-side.sh TRACE CAMSIM_LOG" >&2
    exit 2
fi

# The start time in a file's heading, in milliseconds since 1970.
started_ms() {
    local text
    text=$(sed -n '1s/^#.* started \(.* UTC\);.*/\1/p' "$1")
    if [[ -z "$text" ]]; then
        echo "side-by-side: $1 has no heading with its start time" >&2
        exit 1
    fi
    date -u -d "$text" +%s%3N
}

tool_start=$(started_ms "$1")
camera_start=$(started_ms "$2")

# Each event line: "<time>  <event>"; headings (#) are left out.
side() {
    awk -v side="$2" -v shift="$3" '
        /^#/ || NF == 0 { next }
        {
            text = $0
            sub(/^ *[^ ]+  /, "", text)
            printf "%12.3f  %-7s  %s\n", $1 + shift, side, text
        }' "$1"
}

{
    side "$1" tk358fw 0
    side "$2" camera "$((camera_start - tool_start))"
} | sort -s -g -k1,1
