#include "transfer_abort.h"

#include "diag/progress.h"
#include "diag/shared_flags.h"
#include "diag/status.h"
#include "diag/trace.h"
#include "server_window.h"

void transfer_abort() {
    status_file_delete();
    server_disable();
    // The transfer and listening sockets and the local file belong to the daemon thread, which
    // closes them as this thread unwinds (when it is the daemon) or at its next poll of the stop.
    trace_drop_log();
    status_final("PelloryTFTP server transfer thread aborted.");
    transfer_kind = 0;
}
