#!/usr/bin/env bash
# Cross-builds pellsd.exe and pellcl.exe for 64-bit Windows with MinGW-w64 and runs their tests
# under Wine, on a virtual display: bash scripts/windows.sh [CTEST OPTIONS...]. The programs land
# in build/windows; Wine keeps its registry and drive in build/windows/wine, never in the user's
# own prefix.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder="$top/build/windows"

bash "$top/scripts/setup.sh" --windows
bash "$top/scripts/build.sh" "$folder" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release

source "$top/scripts/wine_session.sh" "$folder"
(cd "$folder" && ctest --output-on-failure -j "$(nproc)" "$@")
