#!/usr/bin/env bash
# Sets up, builds with the address and undefined-behaviour sanitizers, runs every test, the
# Windows build's tests under Wine, then the fuzz targets for a short fixed number of runs.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bash "$top/scripts/setup.sh"
bash "$top/scripts/build.sh" "$top/build/asan" -DCMAKE_BUILD_TYPE=Debug -DPELL_SANITIZE=ON
(cd "$top/build/asan" && ctest --output-on-failure -j "$(nproc)" "$@")
# The Windows programs, cross-built, under Wine.
bash "$top/scripts/windows.sh"
# Every place that parses bytes from the network, fuzzed a fixed number of runs: a crash fails.
bash "$top/scripts/fuzz.sh" --ci 10000
