#!/usr/bin/env bash
# Benchmarks pellsd and pellcl against tftpd-hpa, tftp-hpa and curl on loopback and prints the
# markdown tables: bash bench/run.sh [ROUNDS] [ROUNDS OF MANY CLIENTS]   (default 7 and 3)
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$top/scripts/setup.sh"
bash "$top/scripts/build.sh" "$top/build/release" -DCMAKE_BUILD_TYPE=Release -DPELL_TESTS=OFF >/dev/null
"$top/build/release/bench/bench_driver" "${1:-7}"
echo
"$top/build/release/bench/bench_extensions" "${1:-7}"
echo
"$top/build/release/bench/bench_many" "${2:-3}"
