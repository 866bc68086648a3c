#!/usr/bin/env bash
# Checks manual pages as man shows them on an 80-column terminal: mandoc finds nothing to warn
# about (a missing date included), no line is wider than 80 columns, and no word is broken at a
# line's end (a command line split by hyphenation cannot be copied).
#   tools/check-manual-pages.sh PAGE.1...
set -euo pipefail
status=0
for page in "$@"; do
    if ! mandoc -T lint -W warning "$page"; then
        status=1
    fi
    shown=$(LC_ALL=C MANWIDTH=80 MAN_KEEP_FORMATTING= man -l "$page" 2>/dev/null | col -b)
    if wide=$(awk 'length > 80' <<<"$shown") && [[ -n $wide ]]; then
        echo "$page: lines wider than 80 columns:" >&2
        echo "$wide" >&2
        status=1
    fi
    if broken=$(grep -E '[[:alpha:]]-$' <<<"$shown") && [[ -n $broken ]]; then
        echo "$page: words hyphenated at the end of a line:" >&2
        echo "$broken" >&2
        status=1
    fi
done
exit $status
