#!/usr/bin/env bash
# Builds the Debian package of both programs (with their windows, manual pages and the pellsd
# service) and prints its path: bash scripts/package.sh
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$top/scripts/setup.sh"
folder="$top/build/package"
bash "$top/scripts/build.sh" "$folder" -DCMAKE_BUILD_TYPE=Release -DPELL_TESTS=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
(cd "$folder" && cpack -G DEB >/dev/null)
ls "$folder"/pellory-tftp_*.deb
