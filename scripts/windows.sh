#!/usr/bin/env bash
# Cross-builds pellsd.exe and pellcl.exe for 64-bit Windows with MinGW-w64 and runs their tests
# under Wine: bash scripts/windows.sh [CTEST OPTIONS...]. The programs land in build/windows;
# Wine keeps its registry and drive in build/windows/wine, never in the user's own prefix.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder="$top/build/windows"

bash "$top/scripts/setup.sh" --windows
bash "$top/scripts/build.sh" "$folder" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=Release

export WINEPREFIX="$folder/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's own processes outlive the command that starts them: they must not hold our output open.
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# The Wine folder, made once; its server is let go before the tests' own starts, since the
# service manager it leaves behind forgets the services it deletes.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init </dev/null >/dev/null 2>&1
    wineserver -w
fi
# One Wine server for every test: each program then starts in a fraction of a second (it may
# run already, from a run before).
wineserver -p </dev/null >/dev/null 2>&1 || true
# Wine's own processes (the service manager among them) start with its first program: not with a
# test's, whose output they would hold open.
wine cmd /c exit </dev/null >/dev/null 2>&1
(cd "$folder" && ctest --output-on-failure -j "$(nproc)" "$@")
