# Sourced by the Windows tests that end a program they started (its window closed, Ctrl-C):
# ended PID WHAT waits at most twenty seconds for it to end with status 0 (Wine lets a closed
# window's program go once the display has withdrawn the window); one that stays is ended by its
# process id and fails the test, with the test's own fail.
ended() { # PID WHAT
    for tick in $(seq 100); do
        kill -0 "$1" 2>/dev/null || { wait "$1" || fail "$2 exited $?"; return 0; }
        sleep 0.2
    done
    kill -KILL "$1" 2>/dev/null || true
    fail "$2 did not end: ended now by its process id"
}
