# Sourced by the scripts that run the Windows build under Wine: source wine_session.sh FOLDER.
# Gives them, for as long as they run, the build's own Wine folder (FOLDER/wine, never the user's
# prefix), one Wine server, and a virtual display (Xvfb) for the windows.
folder="$1"
export WINEPREFIX="$folder/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The windows are drawn on a virtual display of their own, on a free display number.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$folder/display" >/dev/null 2>&1 &
display_pid=$!
# Wine's own processes outlive the command that starts them: they must not hold our output open.
trap 'wineserver -k >/dev/null 2>&1 || true; kill $display_pid 2>/dev/null || true' EXIT
for tick in $(seq 100); do
    [ -s "$folder/display" ] && break
    sleep 0.1
done
export DISPLAY=":$(cat "$folder/display")"
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
