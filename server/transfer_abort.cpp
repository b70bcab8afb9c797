#include "transfer_abort.h"

#include "daemon.h"
#include "diag/progress.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "server_run.h"

void transfer_abort() {
    // A daemon of a stopped run ends on its own; the run that serves now goes on.
    if (!daemon_run_is_current()) return;
    status_file_delete();
    server_disable();
    // The transfer and listening sockets and the local file belong to the daemon thread, which
    // closes them as this thread unwinds (when it is the daemon) or at its next poll of the stop.
    trace_drop_log();
    status_final("PelloryTFTP server transfer thread aborted.");
}
