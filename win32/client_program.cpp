// The client's window: pellcl.exe without arguments runs it.
#include "client/client_role.h"
#include "client/client_window.h"
#include "diag/role.h"
#include "platform/process.h"
#include "client/client_window_layout.h"
#include "win32_backend.h"

extern "C" int pellory_window_main(int, char**) {
    role_install(&client_role);
    if (!win32_backend_install(client_window_layout(), {},
                               {client_command, [] { client_window_close(); }}))
        return 1;
    win32_backend_run(client_window_open);
    // Workers still running must not see the statics destroyed under them.
    process_end_now(0);
}
