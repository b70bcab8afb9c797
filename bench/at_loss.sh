#!/usr/bin/env bash
# A download of 32 MiB through a relay that drops 1 % of the datagrams either way: pellcl from
# pellsd against tftp-hpa and curl from tftpd-hpa. Long (the peers' lock step waits out every
# loss): bash bench/at_loss.sh [ROUNDS [MIB]]   (default 1 round of 32 MiB)
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$top/scripts/setup.sh"
bash "$top/scripts/build.sh" "$top/build/release" -DCMAKE_BUILD_TYPE=Release -DPELL_TESTS=OFF >/dev/null
"$top/build/release/bench/bench_loss" "${1:-1}" ${2:+"$2"}
