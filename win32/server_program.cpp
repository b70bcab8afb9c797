// The server's window: pellsd.exe without arguments runs it.
#include "diag/role.h"
#include "platform/process.h"
#include "server/server_controls.h"
#include "server/server_role.h"
#include "server/server_window.h"
#include "server/server_window_layout.h"
#include "win32_backend.h"

extern "C" int pellory_window_main(int, char**) {
    role_install(&server_role);
    if (!win32_backend_install(server_window_layout(),
                               {{tftps_controls::IDD_ACCESS_LISTS, access_dialog_layout()}},
                               {server_command, server_window_close}))
        return 1;
    win32_backend_run(server_window_open);
    // Workers still running must not see the statics destroyed under them.
    process_end_now(0);
}
