#!/usr/bin/env bash
# Sets up, builds and starts pellsd headless, serving FOLDER (default: the current folder) on the
# first free UDP port from 6969 up, with downloads and the TFTP extensions allowed, as the
# package serves. Ctrl-C stops it.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder="$(cd "${1:-.}" && pwd)"

bash "$top/scripts/setup.sh"
echo "Building pellsd in build/release (the first build takes a few minutes)..."
bash "$top/scripts/build.sh" "$top/build/release" -DCMAKE_BUILD_TYPE=Release -DPELL_TESTS=OFF \
    >/dev/null
server="$top/build/release/server/pellsd"

for port in $(seq 6969 7069); do
    # A port something already holds is passed over without a word.
    [ -z "$(ss -Hlun "sport = :$port")" ] || continue
    # Started as root (by sudo), it serves as the user who can read the folder.
    "$server" --headless --port "$port" --root "$folder" --allow-download --extensions \
        --user "${SUDO_USER:-$(id -un)}" &
    pid=$!
    sleep 0.5
    if kill -0 "$pid" 2>/dev/null; then
        trap 'kill -INT "$pid" 2>/dev/null || true' INT TERM
        cat <<TXT

pellsd serves $folder on UDP port $port; downloads and the TFTP extensions are allowed,
uploads are not.
Fetch a file from another terminal with any TFTP client, for example:
    tftp 127.0.0.1 $port -m binary -c get FILE
    curl -o FILE tftp://127.0.0.1:$port/FILE
Press Ctrl-C to stop the server.

TXT
        wait "$pid" || true
        exit 0
    fi
    wait "$pid" 2>/dev/null || true
done
echo "No free UDP port between 6969 and 7069." >&2
exit 1
