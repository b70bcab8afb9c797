#!/usr/bin/env bash
# A file of more than 4 GiB both ways between pellcl and pellsd with the extensions (64-bit
# sizes, block numbers rolled over many times), checked byte for byte:
#   bash bench/large_file.sh [GIB]   (default 4.1; needs three times its size free in TMPDIR)
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$top/scripts/build.sh" "$top/build/release" -DCMAKE_BUILD_TYPE=Release -DPELL_TESTS=OFF >/dev/null
bin="$top/build/release"
work="$(mktemp -d)"
trap 'kill "$server" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/served" "$work/config"
size_mib="$(awk "BEGIN { printf \"%d\", ${1:-4.1} * 1024 }")"
echo "Writing a file of $size_mib MiB..."
head -c 1048576 /dev/urandom > "$work/chunk"
for ((i = 0; i < size_mib; i++)); do cat "$work/chunk"; done > "$work/served/large.bin"
port=$((20000 + RANDOM % 20000))
XDG_CONFIG_HOME="$work/config" "$bin/server/pellsd" --headless --port "$port" \
    --root "$work/served" --allow-download --allow-upload --extensions --user root >/dev/null &
server=$!
sleep 1
options=(--blksize 65464 --windowsize 16)
for direction in get put; do
    start=$(date +%s.%N)
    if [ "$direction" = get ]; then
        "$bin/client/pellcl" --get "127.0.0.1:$port" large.bin "$work/got.bin" "${options[@]}" >/dev/null
        cmp "$work/served/large.bin" "$work/got.bin"
    else
        "$bin/client/pellcl" --put "127.0.0.1:$port" "$work/got.bin" back.bin "${options[@]}" >/dev/null
        cmp "$work/got.bin" "$work/served/back.bin"
    fi
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" -v m="$size_mib" -v d="$direction" \
        'BEGIN { printf "%s: %d MiB in %.1f s (%.0f MB/s), byte for byte\n", d, m, e - s, m * 1.048576 / (e - s) }'
done
