#!/usr/bin/env bash
# Renders the windows into docs/, for the README: on Qt's offscreen platform, or with
# --windows the Windows build's windows under Wine on a virtual display.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ "${1:-}" = "--windows" ]; then
    bash "$top/scripts/setup.sh" --windows
    folder="$top/build/windows"
    bash "$top/scripts/build.sh" "$folder" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    source "$top/scripts/wine_session.sh" "$folder"
    # From the factory settings; the scene's are not left behind for the tests.
    forget() {
        for side in server client; do
            wine reg delete "HKCU\\Software\\Drumvale\\PelloryTFTP $side" /f >/dev/null 2>&1 || true
        done
    }
    forget
    wine "$folder/win32/pell-screenshots.exe" "$(winepath -w "$top/docs")"
    forget
    ls "$top/docs"/*-windows.png
    exit 0
fi
bash "$top/scripts/setup.sh"
bash "$top/scripts/build.sh" "$top/build/release" -DCMAKE_BUILD_TYPE=Release -DPELL_TESTS=OFF >/dev/null
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=offscreen "$top/build/release/qt/pell-screenshots" "$top/docs"
ls "$top/docs"/*.png
