#include "transfer_abort.h"

#include "daemon.h"
#include "diag/progress.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "platform/socket.h"
#include "server_run.h"

void transfer_abort() {
    // A daemon of a stopped run ends on its own; the run that serves now goes on.
    if (!daemon_run_is_current()) return;
    // A server that never listened (its port taken, its user refused) has said why; it did not
    // abort anything.
    const bool served = wait_readable(daemon_listening_event(), -1, 0) == 1;
    status_file_delete();
    server_disable();
    // The transfer and listening sockets and the local file belong to the daemon thread, which
    // closes them as this thread unwinds (when it is the daemon) or at its next poll of the stop.
    trace_drop_log();
    if (served) status_final("PelloryTFTP server transfer thread aborted.");
}
