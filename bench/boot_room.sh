#!/usr/bin/env bash
# A room of machines that boot together, on one machine: a namespace for the server and one for
# each client, joined by a bridge, with the server's port shaped by tc tbf as a switch port in
# front of a boot server. Every client fetches one file at the same moment; the table gives the
# share of the link's payload rate (1468-byte blocks) the whole room got, for tftpd-hpa and
# pellsd with lock-step and windowed clients. Needs root.
#   bash bench/boot_room.sh [ROUNDS]   (default 1; the median of the rounds is shown)
# BOOT_ROOMS and BOOT_COLUMNS choose rooms and columns (the lists below, same forms). A client
# that fails leaves its output in build/boot_room-failure.log.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
rounds="${1:-1}"
bash "$top/scripts/setup.sh"
bash "$top/scripts/build.sh" "$top/build/release" -DCMAKE_BUILD_TYPE=Release -DPELL_TESTS=OFF >/dev/null
pellsd="$top/build/release/server/pellsd" pellcl="$top/build/release/client/pellcl"
[ "$(id -u)" = 0 ] || { echo "boot_room.sh: the lab's namespaces need root" >&2; exit 1; }

lab="pr$$"
work="$(mktemp -d)"
served="$work/served"
mkdir -p "$served"
clients=0
lab_down() {
    for ((i = 1; i <= clients; i++)); do ip netns del "$lab-c$i" 2>/dev/null || true; done
    ip netns del "$lab-srv" 2>/dev/null || true
    ip netns del "$lab-br" 2>/dev/null || true
    clients=0
}
cleanup() {
    servers_down
    lab_down
    rm -rf "$work"
}
trap cleanup EXIT

# The room: COUNT clients behind one bridge, the server's port shaped to RATE with a queue of
# LIMIT (tbf's own words: 100mbit, 64kb).
lab_up() { # COUNT RATE BURST LIMIT
    lab_down
    ip netns add "$lab-br"
    ip -n "$lab-br" link add br0 type bridge
    ip -n "$lab-br" link set br0 up
    ip netns add "$lab-srv"
    ip link add eth0 netns "$lab-srv" type veth peer name srv netns "$lab-br"
    ip -n "$lab-srv" addr add 10.77.0.1/16 dev eth0
    for ((i = 1; i <= $1; i++)); do
        ip netns add "$lab-c$i"
        ip link add eth0 netns "$lab-c$i" type veth peer name "c$i" netns "$lab-br"
        ip -n "$lab-c$i" addr add "10.77.1.$i/16" dev eth0
        ip -n "$lab-c$i" link set eth0 up
        ip -n "$lab-c$i" link set lo up
        ip -n "$lab-br" link set "c$i" master br0 up
    done
    clients=$1
    ip -n "$lab-br" link set srv master br0 up
    ip -n "$lab-srv" link set eth0 up
    ip -n "$lab-srv" link set lo up
    tc -n "$lab-srv" qdisc replace dev eth0 root tbf rate "$2" burst "$3" limit "$4"
}

# The servers of a room, on the server's address.
servers_up() {
    XDG_CONFIG_HOME="$work" ip netns exec "$lab-srv" "$pellsd" --headless --port 69 \
        --root "$served" --allow-download --extensions --max-transfers 64 --max-per-client 64 \
        --max-windowsize 64 --timeout 5 --user root >/dev/null 2>&1 &
    ip netns exec "$lab-srv" in.tftpd -L -a 10.77.0.1:70 -s "$served" -p -u root &
    sleep 1
}
servers_down() {
    ip netns pids "$lab-srv" 2>/dev/null | xargs -r kill 2>/dev/null || true
    sleep 0.5
}

# Every client fetches FILE at once from PORT with CLIENT (atftp-1, atftp-W, pellcl-W: the
# window W); the room's share of the link's payload rate.
room() { # COUNT FILE PORT CLIENT PAYLOAD_BYTES_PER_SECOND
    local count=$1 file=$2 port=$3 client=$4 limit=$5 window=${4#*-} pids=()
    rm -rf "$work/got"
    mkdir -p "$work/got"
    local start end
    start=$(date +%s.%N)
    for ((i = 1; i <= count; i++)); do
        out="$work/got/$i"
        case "$client" in
        atftp-*) command=(atftp -g -r "$file" -l "$out" --option "blksize 1468")
            [ "$window" = 1 ] || command+=(--option "windowsize $window")
            command+=(10.77.0.1 "$port") ;;
        pellcl-*) command=("$pellcl" --get "10.77.0.1:$port" "$file" "$out" --blksize 1468
            --windowsize "$window" --timeout 5) ;;
        esac
        ip netns exec "$lab-c$i" "${command[@]}" >"$out.log" 2>&1 &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || true; done
    end=$(date +%s.%N)
    local size whole=0
    size=$(stat -c %s "$served/$file")
    for ((i = 1; i <= count; i++)); do
        if cmp -s "$served/$file" "$work/got/$i"; then whole=$((whole + 1))
        else cp "$work/got/$i.log" "$top/build/boot_room-failure.log"; fi
    done
    awk -v s="$start" -v e="$end" -v n="$whole" -v b="$size" -v l="$limit" -v all="$count" \
        'BEGIN { share = n * b / (e - s) / l; printf "%.2f%s", share, n < all ? "*" : "" }'
}

median() { tr -s ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# shellcheck disable=SC2206 # the lists are words
columns=(${BOOT_COLUMNS:-tftpd-hpa:70:atftp-1 pellsd:69:atftp-1 pellsd:69:atftp-16
    pellsd:69:atftp-64 pellsd:69:pellcl-1 pellsd:69:pellcl-16 pellsd:69:pellcl-64})
echo "| Room | tftpd-hpa, atftp lock step | pellsd, atftp lock step | pellsd, atftp window 16 |" \
     "pellsd, atftp window 64 | pellsd, pellcl lock step | pellsd, pellcl window 16 |" \
     "pellsd, pellcl window 64 |"
echo "|---|---|---|---|---|---|---|---|"
for setup in ${BOOT_ROOMS:-16:4:100mbit:16kb:64kb 48:2:100mbit:16kb:64kb 8:16:1gbit:64kb:128kb}; do
    IFS=: read -r count mib rate burst limit <<<"$setup"
    bits=${rate%bit}
    case "$bits" in *m) bits=$((${bits%m} * 1000000)) ;; *g) bits=$((${bits%g} * 1000000000)) ;; esac
    # What the link carries of a 1468-byte block's frame of 1514 bytes.
    payload=$((bits / 8 * 1468 / 1514))
    head -c $((mib * 1048576)) /dev/urandom >"$served/room-$mib.bin"
    lab_up "$count" "$rate" "$burst" "$limit"
    servers_up
    row="| $count × $mib MiB, $rate, $limit queue |"
    for column in "${columns[@]}"; do
        IFS=: read -r server port client <<<"$column"
        shares=""
        for ((r = 0; r < rounds; r++)); do
            shares+="$(room "$count" "room-$mib.bin" "$port" "$client" "$payload") "
        done
        mark=""
        [[ "$shares" != *'*'* ]] || mark='*'
        row+=" $(echo "$shares" | tr -d '*' | median)$mark |"
    done
    servers_down
    echo "$row"
done
echo
echo "Share of the link's payload rate the whole room got (1468-byte blocks); * some clients" \
     "did not get their file whole. $(date +%F), $(nproc) cores, Linux $(uname -r)."
