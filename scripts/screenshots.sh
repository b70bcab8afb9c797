#!/usr/bin/env bash
# Renders the windows on Qt's offscreen platform into docs/, for the README.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$top/scripts/setup.sh"
bash "$top/scripts/build.sh" "$top/build/release" -DCMAKE_BUILD_TYPE=Release -DPELL_TESTS=OFF >/dev/null
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
XDG_CONFIG_HOME="$config" QT_QPA_PLATFORM=offscreen "$top/build/release/qt/pell-screenshots" "$top/docs"
ls "$top/docs"/*.png
