#!/usr/bin/env bash
# Builds with the thread sanitizer and runs the tests where threads meet: many transfers in one
# daemon, Enable and Disable while they run, the progress threads and the bar, the client's
# transfer thread and the window. Too slow to build for every test run; run it before a change
# to any of them lands: scripts/tsan.sh [CTEST OPTIONS...]
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bash "$top/scripts/setup.sh"
folder="$top/build/tsan"
cmake -S "$top" -B "$folder" -DCMAKE_BUILD_TYPE=Debug -DPELL_TSAN=ON >/dev/null
cmake --build "$folder" -j "$(nproc)" --target integration_many integration_timing \
    integration_server_window integration_client integration_transfer
# Qt and the C library are not built with the sanitizer; what they do inside is not reported.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
(cd "$folder" && ctest --output-on-failure -j "$(nproc)" \
    -R 'many_transfers|server_retransmission|progress|server_window|client_session|server_transfer' "$@")
