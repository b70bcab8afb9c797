#!/usr/bin/env bash
# The installer under Wine, silently: it installs both programs with their shortcuts, which open
# the programs' windows, its entry among the installed programs and, asked, the service; its
# uninstaller takes all of that away and leaves the user's settings unless asked to remove them.
#   bash tests/windows/installer.sh PelloryTFTP-setup.exe WINDOW_DRIVER.EXE
set -euo pipefail
# A step that fails without a word of its own is named.
trap 'echo "FAILED: line $LINENO: $BASH_COMMAND exited $?"' ERR
setup="$(realpath "$1")" driver="$(realpath "$2")"
export WINEDEBUG=-all
drive="$(winepath -u 'C:\')"
folder='C:\PelloryTFTP-test'
installed="$(winepath -u "$folder")"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/PelloryTFTP"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\PelloryTFTP'
settings='HKCU\SOFTWARE\Drumvale\PelloryTFTP client'
fail() {
    echo "FAILED: $*"
    exit 1
}
registered() { wine reg query "$1" >/dev/null 2>&1; }
# The uninstaller copies itself away and returns at once: its work is done when the folder goes.
# The copy runs on apart from the test's output.
uninstall() {
    wine "$folder\\uninstall.exe" /S "$@" </dev/null >/dev/null 2>&1
    for tick in $(seq 100); do
        [ -e "$installed" ] || return 0
        sleep 0.2
    done
    fail "the uninstaller left $folder"
}
# A run that fails midway leaves nothing either: neither its programs nor its installation (the
# next run would find the service there).
leave_nothing() {
    pkill -KILL -f "PelloryTFTP-test" || true
    [ ! -e "$installed" ] || uninstall /SETTINGS
}
trap leave_nothing EXIT

wine "$setup" /S /SERVICE "/D=$folder" || fail "the installer exited $?"
for file in pellsd.exe pellcl.exe README.md uninstall.exe; do
    [ -f "$installed/$file" ] || fail "$file is not installed"
done
wine "$folder\\pellsd.exe" --version | grep -q "PelloryTFTP server" || fail "pellsd.exe does not run"
strings -el "$menu/PelloryTFTP console.lnk" | grep -qF "$folder\\pellcl.exe" ||
    fail "the console's shortcut does not start the programs"
# Each program's shortcut opens its window, which its Close button closes.
for shortcut in "server pellsd.exe TFTPS 1019" "client pellcl.exe TFTPC 115"; do
    set -- $shortcut
    # Started apart from the test's output: ctest waits for whatever holds that open.
    wine start /unix "$menu/PelloryTFTP $1.lnk" </dev/null >/dev/null 2>&1
    wine "$driver" "$2" wait "$3" click "$3" "$4" gone "$3" || fail "the $1's shortcut opens no window"
done
# Wine lets a closed window's program go only once the display has withdrawn the window. One
# that is still there after that fails the test, named and ended by its process id, so that
# nothing the test started outlives it.
for tick in $(seq 100); do
    pgrep -f "PelloryTFTP-test" >/dev/null || break
    sleep 0.2
done
if left="$(pgrep -af "PelloryTFTP-test")"; then
    pkill -KILL -f "PelloryTFTP-test" || true
    fail "a program outlived its window, ended now: $left"
fi
[ -f "$menu/Uninstall PelloryTFTP.lnk" ] || fail "no shortcut to the uninstaller"
wine reg query "$entry" /v UninstallString | grep -qF "$folder\\uninstall.exe" ||
    fail "not among the installed programs"
registered 'HKLM\System\CurrentControlSet\Services\pellsd' || fail "the service is not registered"
echo "ok: installed silently, with shortcuts, its entry and the service"

wine reg add "$settings" /v Timeout /d 5 /f >/dev/null
uninstall
[ ! -e "$menu" ] || fail "the shortcuts stay"
! registered "$entry" || fail "the entry among the installed programs stays"
! registered 'HKLM\System\CurrentControlSet\Services\pellsd' || fail "the service stays"
registered "$settings" || fail "the user's settings went without being asked"
echo "ok: uninstalled silently, the user's settings kept"

wine "$setup" /S "/D=$folder" || fail "the second installation exited $?"
uninstall /SETTINGS
! registered "$settings" || fail "/SETTINGS left the user's settings"
echo "ok: uninstalled with /SETTINGS, the settings gone too"
