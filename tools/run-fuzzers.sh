#!/usr/bin/env bash
# Runs every libFuzzer target of a build for a bounded time, each from its committed seed corpus.
# Usage: tools/run-fuzzers.sh BUILD_DIR [SECONDS_PER_TARGET]
# New inputs go to a scratch corpus (the committed seeds stay as they are); a crash, leak,
# sanitizer report or time-out leaves its input in BUILD_DIR/fuzz-findings and fails the run.
set -uo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: run-fuzzers.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
findings="$build/fuzz-findings"
mkdir -p "$findings"

targets=()
for corpus in fuzz/corpus/*/; do
    targets+=("$(basename "$corpus")")
done

failed=0
for target in "${targets[@]}"; do
    exe="$build/fuzz/$target"
    if [[ ! -x "$exe" ]]; then
        echo "run-fuzzers: $exe is missing (build the fuzz preset first)" >&2
        failed=1
        continue
    fi
    scratch=$(mktemp -d)
    log="$findings/$target.log"
    start=$(date +%s)
    "$exe" "$scratch" "fuzz/corpus/$target" -max_total_time="$seconds" -timeout=20 \
        -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" >"$log" 2>&1
    rc=$?
    runs=$(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
    echo "$target: exit $rc, ${runs:-?} runs, ${cov:-cov: ?}, $(($(date +%s) - start)) s"
    if [[ $rc -ne 0 ]]; then
        failed=1
        grep -m5 -E 'ERROR|SUMMARY|Test unit written' "$log" || tail -20 "$log"
    fi
    rm -rf "$scratch"
done

if [[ $failed -ne 0 ]]; then
    echo "run-fuzzers: findings above (inputs in $findings)" >&2
    exit 1
fi
echo "run-fuzzers: ${#targets[@]} targets, $seconds s each, no findings"
