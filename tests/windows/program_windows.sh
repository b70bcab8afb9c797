#!/usr/bin/env bash
# The programs' windows under Wine, used as a user uses them, with Linux's TFTP programs as
# peers on loopback: the server enabled in its window serves tftp-hpa, the access dialog's lists
# take effect, the options are saved to the registry; the client window downloads from and
# uploads to tftpd-hpa and keeps its fields in the registry.
#   bash tests/windows/program_windows.sh PELLSD.EXE PELLCL.EXE WINDOW_DRIVER.EXE
set -euo pipefail
pellsd="$(realpath "$1")" pellcl="$(realpath "$2")" driver="$(realpath "$3")"
export WINEDEBUG=-all
scratch="$(mktemp -d)"
source "$(dirname "${BASH_SOURCE[0]}")/settings.sh"
source "$(dirname "${BASH_SOURCE[0]}")/ended.sh"
server_key=${settings_keys[0]} client_key=${settings_keys[1]}
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    settings_restore "$scratch"
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*"
    exit 1
}
same() { cmp -s "$1" "$2" || fail "$3: the files differ"; echo "ok: $3"; }
# Each step names the program whose window it uses: the display is shared with other tests.
drive() { wine "$driver" "$program" "$@" || fail "the window did not do: $*"; }
saved() { settings_hold "$scratch" "$@"; }

# Both windows open on the factory settings.
settings_set_aside "$scratch"
mkdir -p "$scratch/root" "$scratch/got" "$scratch/hpa"
head -c 300000 /dev/urandom >"$scratch/firmware.bin"
cp "$scratch/firmware.bin" "$scratch/root/"
cp "$scratch/firmware.bin" "$scratch/hpa/"

# The server, enabled from its window with a root, a port and downloads allowed.
port=$(shuf -i 20000-59999 -n 1)
wine "$pellsd" </dev/null >/dev/null 2>&1 &
server_pid=$! program="$(basename "$pellsd")"
pids="$server_pid"
drive wait TFTPS set TFTPS 1050 "$port" set TFTPS 1043 127.0.0.1 click TFTPS 1003 \
    set TFTPS 1014 "$(winepath -w "$scratch/root")" click TFTPS 1023 \
    until TFTPS 1026 "currently enabled"
# Seen once in CI: no answer at all. Say what listened on the port, for the next time.
tftp 127.0.0.1 "$port" -m binary -c get firmware.bin "$scratch/got/enabled.bin" ||
    fail "no answer on port $port; listening there: $(ss -Hlun "sport = :$port" | tr -s ' ')"
same "$scratch/firmware.bin" "$scratch/got/enabled.bin" "tftp-hpa download from the server window"

# The access dialog: a list without this client shuts it out, one with it lets it in again.
admit() { # CLIENTS
    drive click TFTPS 1018 wait TFTPIPS set TFTPIPS 1030 "$1" click TFTPIPS 1033 gone TFTPIPS
}
drive click TFTPS 1008 until TFTPS 1027 "Only selected clients"
admit 192.0.2.1
! timeout 6 tftp 127.0.0.1 "$port" -m binary -c get firmware.bin "$scratch/got/shut.bin" ||
    fail "a client outside the access lists was served"
echo "ok: the access dialog's list shuts out a client not on it"
admit 127.0.0.1
tftp 127.0.0.1 "$port" -m binary -c get firmware.bin "$scratch/got/admitted.bin"
same "$scratch/firmware.bin" "$scratch/got/admitted.bin" "a client on the access list is served"

# Saved options land in the registry; Close ends the program.
drive click TFTPS 1020 answer "Saved options"
saved "$server_key" '"ServiceIPC"="127.0.0.1"' || fail "the access list is not in the registry"
saved "$server_key" "\"ListenPort\"=\"$port\"" || fail "the port is not in the registry"
echo "ok: Save options writes the registry"
drive click TFTPS 1019
ended "$server_pid" "the server window"
echo "ok: Close ends the server's window"
# Opened again, the window reads them back, and a server saved enabled enables itself.
wine "$pellsd" </dev/null >/dev/null 2>&1 &
server_pid=$! program="$(basename "$pellsd")"
pids="$server_pid"
drive wait TFTPS until TFTPS 1050 "$port" until TFTPS 1026 "currently enabled"
tftp 127.0.0.1 "$port" -m binary -c get firmware.bin "$scratch/got/reopened.bin"
same "$scratch/firmware.bin" "$scratch/got/reopened.bin" "the saved options, read back, serve"
drive click TFTPS 1019
ended "$server_pid" "the server window"

# The client window against tftpd-hpa, which changes root into its folder: only root may start it.
if [ "$(id -u)" != 0 ]; then
    echo "skipped: the client window against tftpd-hpa (starting tftpd-hpa needs root)"
    exit 0
fi
hpa_port=$(shuf -i 20000-59999 -n 1)
in.tftpd -L -a "127.0.0.1:$hpa_port" -s "$scratch/hpa" -c -p -u root </dev/null >/dev/null 2>&1 &
pids="$pids $!"
program="$(basename "$pellcl")"
client() { # the client window, started in the folder of the downloads
    (cd "$scratch/got" && exec wine "$pellcl" </dev/null >/dev/null 2>&1) &
    client_pid=$!
    pids="$pids $client_pid"
}
client
# The local file chosen in Windows' save dialog, which proposes the remote file's name.
drive wait TFTPC set TFTPC 102 "127.0.0.1:$hpa_port" click TFTPC 107 set TFTPC 108 firmware.bin \
    click TFTPC 109 answer "Save downloaded file as..." until TFTPC 110 'got\firmware.bin' \
    click TFTPC 114 until TFTPC 116 "bytes received in"
same "$scratch/firmware.bin" "$scratch/got/firmware.bin" "the client window's download"
drive click TFTPC 106 set TFTPC 110 "$(winepath -w "$scratch/firmware.bin")" \
    set TFTPC 108 up.bin click TFTPC 114 until TFTPC 116 "bytes transmitted in"
same "$scratch/firmware.bin" "$scratch/hpa/up.bin" "the client window's upload"
drive click TFTPC 115
ended "$client_pid" "the client window"
saved "$client_key" "\"Hostname\"=\"127.0.0.1:$hpa_port\"" || fail "the client's fields are not in the registry"
client
drive wait TFTPC until TFTPC 102 "127.0.0.1:$hpa_port" click TFTPC 115
ended "$client_pid" "the client window"
echo "ok: closing the client window keeps its fields in the registry, and they come back"
echo "all window checks passed"
