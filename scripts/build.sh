#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh FOLDER [CMAKE OPTIONS...]
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder="$1"
shift
cmake -S "$top" -B "$folder" "$@" >/dev/null
cmake --build "$folder" -j "$(nproc)"
