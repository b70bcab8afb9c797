#!/usr/bin/env bash
# pellsd.exe as a service under Wine's service manager, on loopback only: --service-install
# writes the settings it starts from, the manager starts it and it serves tftp-hpa, the manager's
# stop ends it cleanly with its status lines in its log, and --service-remove takes it away.
#   bash tests/windows/service.sh PELLSD.EXE
set -euo pipefail
pellsd="$(realpath "$1")"
export WINEDEBUG=-all
scratch="$(mktemp -d)"
cleanup() {
    wine sc stop pellsd >/dev/null 2>&1 || true
    wine sc delete pellsd >/dev/null 2>&1 || true
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*"
    cat "$scratch/pellsd.log" 2>/dev/null || true
    exit 1
}
state() { wine sc query pellsd 2>/dev/null | sed -n 's/.*STATE *: *[0-9]* *//p' | tr -d '\r'; }
wait_for_state() {
    for tick in $(seq 100); do
        [ "$(state)" = "$1" ] && return 0
        sleep 0.2
    done
    fail "the service did not reach $1 (it is $(state))"
}

config="$(winepath -w "$scratch")\\pellsd.conf"
wine "$pellsd" --service-install --config "$config" >"$scratch/install.out" ||
    fail "--service-install exited $?: $(cat "$scratch/install.out")"
grep -q "^RestrictDownloadPath=.*\\\\tftp" "$scratch/pellsd.conf" || fail "no first settings"
[ -d "$scratch/tftp" ] || fail "no folder to serve beside the settings"
echo "ok: --service-install writes the first settings and the folder they serve"
wine reg query 'HKLM\System\CurrentControlSet\Services\pellsd' /v ImagePath |
    grep -q -- "--service --config" || fail "not registered with its settings"

port=$(shuf -i 20000-59999 -n 1)
printf 'ListenPort=%s\r\nListenAddresses=127.0.0.1\r\n' "$port" >>"$scratch/pellsd.conf"
head -c 100000 /dev/urandom >"$scratch/tftp/boot.img"
wine sc start pellsd >/dev/null
wait_for_state RUNNING
for tick in $(seq 100); do
    grep -q "Listening on" "$scratch/pellsd.log" 2>/dev/null && break
    sleep 0.2
done
tftp 127.0.0.1 "$port" -m binary -c get boot.img "$scratch/got.img"
cmp -s "$scratch/tftp/boot.img" "$scratch/got.img" || fail "the service did not serve the file"
echo "ok: the manager starts the service and it serves"

wine sc stop pellsd >/dev/null
wait_for_state STOPPED
wine sc query pellsd | grep -q "SERVICE_EXIT_CODE *: *0 " || fail "the service stopped with an error"
grep -q "TFTP server is disabled." "$scratch/pellsd.log" || fail "no farewell in the log"
echo "ok: the manager's stop ends the service cleanly, its lines in pellsd.log"

wine "$pellsd" --service-remove >/dev/null || fail "--service-remove exited $?"
! wine sc query pellsd >/dev/null 2>&1 || fail "the service is still registered"
echo "ok: --service-remove takes the service away"
