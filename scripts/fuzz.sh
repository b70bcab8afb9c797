#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each of them.
#   bash scripts/fuzz.sh [SECONDS]   fuzz each target SECONDS (default 60) and merge what finds
#                                    new ground into the kept corpus, fuzz/corpus/TARGET
#   bash scripts/fuzz.sh --ci RUNS   run each target RUNS times from the kept corpus, leaving it
#                                    as it is; a crash fails the run
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mode="explore" seconds="${1:-60}" runs=0
if [ "${1:-}" = "--ci" ]; then mode="ci" runs="${2:-10000}"; fi

bash "$top/scripts/setup.sh"
CC=clang CXX=clang++ bash "$top/scripts/build.sh" "$top/build/fuzz" -DPELL_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" # crash files land here, not in the tree
for target in fuzz_request fuzz_exchange fuzz_error fuzz_access_lists fuzz_remap; do
    binary="$top/build/fuzz/fuzz/$target"
    kept="$top/fuzz/corpus/$target"
    found="$scratch/$target"
    mkdir -p "$kept" "$found"
    if [ "$mode" = "ci" ]; then
        "$binary" "$found" "$kept" -runs="$runs" -print_final_stats=1 2>&1 |
            grep -E "stat::number_of_executed_units|ERROR|SUMMARY" | sed "s/^/$target: /"
        [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
    else
        "$binary" "$found" "$kept" -max_total_time="$seconds" -print_final_stats=1 2>&1 |
            grep -E "stat::number_of_executed_units|ERROR|SUMMARY" | sed "s/^/$target: /"
        [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
        "$binary" -merge=1 "$kept" "$found" >/dev/null 2>&1
        echo "$target: $(ls "$kept" | wc -l) inputs kept"
    fi
done
