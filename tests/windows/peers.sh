#!/usr/bin/env bash
# The Windows programs under Wine with Linux's TFTP programs as their peers, on loopback only:
# tftp-hpa, curl and atftp against pellsd.exe over IPv4 and IPv6, pellcl.exe against pellsd.exe
# and tftpd-hpa, a stop by Ctrl-C, and the settings' round trip through the registry.
#   bash tests/windows/peers.sh PELLSD.EXE PELLCL.EXE
set -euo pipefail
pellsd="$(realpath "$1")" pellcl="$(realpath "$2")"
export WINEDEBUG=-all
scratch="$(mktemp -d)"
source "$(dirname "${BASH_SOURCE[0]}")/settings.sh"
source "$(dirname "${BASH_SOURCE[0]}")/ended.sh"
key=${settings_keys[0]}
server_pid="" exe_pid="" hpa_pid=""
cleanup() {
    for pid in $exe_pid $server_pid $hpa_pid; do kill "$pid" 2>/dev/null || true; done
    settings_restore "$scratch"
    rm -rf "$scratch"
}
trap cleanup EXIT
# The server starts from the factory settings.
settings_set_aside "$scratch"
fail() {
    echo "FAILED: $*"
    cat "$scratch/server.out" 2>/dev/null || true
    exit 1
}
same() { cmp -s "$1" "$2" || fail "$3: the files differ"; echo "ok: $3"; }

mkdir -p "$scratch/racine-été" "$scratch/got"
head -c 300000 /dev/urandom >"$scratch/firmware.bin"
cp "$scratch/firmware.bin" "$scratch/racine-été/"
printf 'interface eth0\n ip address 10.0.0.1\n\nend\n' >"$scratch/config.txt"

# pellsd.exe, headless with ARGS, as a console starts it: from cmd, whose console it takes.
# server_pid is cmd's, which ends with pellsd.exe's status; exe_pid is pellsd.exe's own (cmd's
# command line names it too).
serve() {
    : >"$scratch/server.out" # emptied before the start, or the last run's lines would count
    wine cmd /c "$(winepath -w "$pellsd")" --headless "$@" >>"$scratch/server.out" 2>&1 </dev/null &
    server_pid=$!
    for tick in $(seq 100); do
        grep -q "Listening on" "$scratch/server.out" &&
            exe_pid=$(pgrep -n -f "^[^ ]*pellsd\.exe --headless") && return 0
        kill -0 "$server_pid" 2>/dev/null || return 1
        sleep 0.2
    done
    return 1
}
# pellsd.exe serving the scratch root on a free port of 127.0.0.1 and ::1, until stop_server.
start_server() {
    local attempt
    for attempt in 1 2 3 4 5; do
        port=$(shuf -i 20000-59999 -n 1)
        serve --port "$port" --address "127.0.0.1,::1" "$@" && return 0
        kill "$server_pid" 2>/dev/null || true # the port was taken: another one
        wait "$server_pid" || true
    done
    fail "pellsd.exe did not start listening"
}
# Ctrl-C, as the console sends it to the programs attached to it: the server must end its run
# cleanly.
stop_server() {
    kill -INT "$exe_pid"
    ended "$server_pid" "pellsd.exe stopped by Ctrl-C"
    server_pid="" exe_pid=""
    grep -q "TFTP server is disabled." "$scratch/server.out" || fail "no farewell after Ctrl-C"
}

# Links as Wine shows them: one that stays beneath the root serves, one that leads out is refused.
echo "outside the root" >"$scratch/secret.txt"
ln -s ../secret.txt "$scratch/racine-été/out.txt"
ln -s firmware.bin "$scratch/racine-été/in.bin"
root_windows="$(winepath -w "$scratch/racine-été")"
start_server --root "$root_windows" --allow-download --allow-upload --extensions \
    --max-transfers 4
for host in 127.0.0.1 ::1; do
    family=$([ "$host" = ::1 ] && echo -6 || echo -4)
    tftp "$family" "$host" "$port" -m binary -c get firmware.bin "$scratch/got/hpa$family"
    same "$scratch/firmware.bin" "$scratch/got/hpa$family" "tftp-hpa download over $host"
    tftp "$family" "$host" "$port" -m binary -c put "$scratch/firmware.bin" "up$family.bin"
    same "$scratch/firmware.bin" "$scratch/racine-été/up$family.bin" "tftp-hpa upload over $host"
done
curl -s --tftp-blksize 1468 -o "$scratch/got/curl" "tftp://127.0.0.1:$port/firmware.bin"
same "$scratch/firmware.bin" "$scratch/got/curl" "curl download, 1468-byte blocks"
curl -s -T "$scratch/firmware.bin" "tftp://[::1]:$port/curl.bin"
same "$scratch/firmware.bin" "$scratch/racine-été/curl.bin" "curl upload over IPv6"
atftp --option "windowsize 8" --option "blksize 1428" -g -r firmware.bin \
    -l "$scratch/got/atftp" 127.0.0.1 "$port" >/dev/null 2>&1
same "$scratch/firmware.bin" "$scratch/got/atftp" "atftp download, windows of 8"
tftp 127.0.0.1 "$port" -m binary -c get in.bin "$scratch/got/in.bin"
same "$scratch/firmware.bin" "$scratch/got/in.bin" "a link that stays beneath the root"
tftp 127.0.0.1 "$port" -m binary -c get out.txt "$scratch/got/out.txt" >"$scratch/hpa.out" || true
grep -q "Error code 2" "$scratch/hpa.out" && ! cmp -s "$scratch/secret.txt" "$scratch/got/out.txt" ||
    fail "a link out of the root: $(cat "$scratch/hpa.out")"
echo "ok: a link out of the root is refused"

# A text goes to a Windows disk with Windows' line ends and comes back as it went.
tftp 127.0.0.1 "$port" -m ascii -c put "$scratch/config.txt" config.txt
sed 's/$/\r/' "$scratch/config.txt" >"$scratch/config.crlf"
same "$scratch/config.crlf" "$scratch/racine-été/config.txt" "netascii upload stored with CR LF"
tftp 127.0.0.1 "$port" -m ascii -c get config.txt "$scratch/got/config.txt"
same "$scratch/config.txt" "$scratch/got/config.txt" "netascii download"

# The client, against its own server.
(cd "$scratch/got" && wine "$pellcl" --get "127.0.0.1:$port" firmware.bin pellcl.bin \
    --extensions >/dev/null) || fail "pellcl.exe --get exited $?"
same "$scratch/firmware.bin" "$scratch/got/pellcl.bin" "pellcl.exe download from pellsd.exe"
(cd "$scratch" && wine "$pellcl" --put "[::1]:$port" firmware.bin from-pellcl.bin \
    --windowsize 8 >/dev/null) || fail "pellcl.exe --put exited $?"
same "$scratch/firmware.bin" "$scratch/racine-été/from-pellcl.bin" "pellcl.exe upload over IPv6"
stop_server
echo "ok: Ctrl-C stops pellsd.exe, exit status 0"

# Every transfer from the listening port, several at once; a name the remap rules rewrite, a
# folder of the client's own, the version an upload replaces kept, and a record of each request.
printf 'r ^alias\\.bin$ firmware.bin\n' >"$scratch/remap.rules"
mkdir -p "$scratch/racine-été/127.0.0.1"
echo own >"$scratch/racine-été/127.0.0.1/own.txt"
echo shared >"$scratch/racine-été/own.txt"
start_server --root "$root_windows" --allow-download --allow-upload --extensions --single-port \
    --max-transfers 4 --remap "$(winepath -w "$scratch/remap.rules")" --client-folders ip \
    --keep-versions 1 --records "$(winepath -w "$scratch/records.json")"
atftp --option "windowsize 8" --option "blksize 1428" -g -r alias.bin \
    -l "$scratch/got/single-atftp" 127.0.0.1 "$port" >/dev/null 2>&1 &
atftp_pid=$!
tftp -6 ::1 "$port" -m binary -c get firmware.bin "$scratch/got/single-hpa" &
hpa_get_pid=$!
for round in 1 2; do
    (cd "$scratch" && wine "$pellcl" --put "[::1]:$port" "$([ $round = 1 ] && echo config.txt ||
        echo firmware.bin)" single-pellcl.bin --windowsize 8 >/dev/null) ||
        fail "pellcl.exe --put to a single port exited $?"
done
wait "$atftp_pid" && wait "$hpa_get_pid" || fail "a peer of the single port failed"
same "$scratch/firmware.bin" "$scratch/got/single-atftp" "atftp download of a remapped name, one port"
same "$scratch/firmware.bin" "$scratch/got/single-hpa" "tftp-hpa download over ::1, one port"
same "$scratch/firmware.bin" "$scratch/racine-été/single-pellcl.bin" "pellcl.exe upload, one port"
same "$scratch/config.txt" "$scratch/racine-été/single-pellcl.bin.1" "the version it replaced, kept"
# The client's own folder: 127.0.0.1 gets its own file; ::1 the shared one, then its own once its
# folder is there, named with dashes for the colons Windows' names cannot hold.
own_file() { # FAMILY HOST CONTENT
    tftp "$1" "$2" "$port" -m binary -c get own.txt "$scratch/got/own"
    grep -qx "$3" "$scratch/got/own" || fail "$2 got $(cat "$scratch/got/own"), not $3"
}
own_file -4 127.0.0.1 own
own_file -6 ::1 shared
mkdir -p "$scratch/racine-été/--1"
echo own6 >"$scratch/racine-été/--1/own.txt"
own_file -6 ::1 own6
echo "ok: a folder of the client's own (IPv4 and IPv6), the shared one for another"
stop_server
[ "$(grep -c '"result":"completed"' "$scratch/records.json")" = 7 ] &&
    grep -q '"time":"[0-9-]*T[0-9:]*[+-][0-9][0-9]:[0-9][0-9]","client":"127.0.0.1".*"file":"alias.bin","served":"[^"]*firmware.bin"' \
        "$scratch/records.json" || fail "the records: $(cat "$scratch/records.json")"
echo "ok: a record of each request"

# The client against tftpd-hpa, which changes root into its folder: only root may start it.
if [ "$(id -u)" = 0 ]; then
    mkdir -p "$scratch/hpa"
    cp "$scratch/firmware.bin" "$scratch/hpa/"
    hpa_port=$(shuf -i 20000-59999 -n 1)
    in.tftpd -L -a "127.0.0.1:$hpa_port" -s "$scratch/hpa" -c -p -u root </dev/null >/dev/null 2>&1 &
    hpa_pid=$!
    sleep 0.5
    (cd "$scratch/got" && wine "$pellcl" --get "127.0.0.1:$hpa_port" firmware.bin hpa.bin \
        --blksize 1024 >/dev/null) || fail "pellcl.exe --get from tftpd-hpa exited $?"
    same "$scratch/firmware.bin" "$scratch/got/hpa.bin" "pellcl.exe download from tftpd-hpa"
    (cd "$scratch" && wine "$pellcl" --put "127.0.0.1:$hpa_port" firmware.bin up.bin \
        >/dev/null) || fail "pellcl.exe --put to tftpd-hpa exited $?"
    same "$scratch/firmware.bin" "$scratch/hpa/up.bin" "pellcl.exe upload to tftpd-hpa"
    kill "$hpa_pid"
    hpa_pid=""
else
    echo "skipped: pellcl.exe against tftpd-hpa (starting tftpd-hpa needs root)"
fi

# Saved settings land in the registry and are what a bare start serves with.
start_server --root "$root_windows" --allow-download --save
stop_server
# Exported, the values come as UTF-16 whatever the console's code page, backslashes doubled.
settings_hold "$scratch" "$key" "${root_windows//\\/\\\\}" ||
    fail "the root is not in the registry as it was given"
saved_port=$port
serve || fail "a bare start did not listen"
tftp 127.0.0.1 "$saved_port" -m binary -c get firmware.bin "$scratch/got/saved"
same "$scratch/firmware.bin" "$scratch/got/saved" "a bare start serves with the saved settings"
stop_server
echo "all Windows peer checks passed"
