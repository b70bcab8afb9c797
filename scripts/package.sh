#!/usr/bin/env bash
# Builds the Debian packages of both programs (headless with their manual pages and the pellsd
# service; their windows apart) and prints their paths: bash scripts/package.sh
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$top/scripts/setup.sh"
folder="$top/build/package"
bash "$top/scripts/build.sh" "$folder" -DCMAKE_BUILD_TYPE=Release -DPELL_TESTS=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
(cd "$folder" && cpack -G DEB >/dev/null)
ls "$folder"/pellory-tftp_*.deb "$folder"/pellory-tftp-windows_*.deb
