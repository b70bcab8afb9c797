#!/usr/bin/env bash
# Sets up, builds with the address and undefined-behaviour sanitizers, and runs every test.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bash "$top/scripts/setup.sh"
bash "$top/scripts/build.sh" "$top/build/asan" -DCMAKE_BUILD_TYPE=Debug -DPELL_SANITIZE=ON
cd "$top/build/asan"
ctest --output-on-failure -j "$(nproc)" "$@"
