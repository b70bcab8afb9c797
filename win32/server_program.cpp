// The server's window: pellsd.exe without arguments runs it.
#include "diag/role.h"
#include "platform/process.h"
#include "server/server_controls.h"
#include "server/server_role.h"
#include "server/server_window.h"
#include "win32_backend.h"
#include "window_tables.h"

extern "C" int pellory_window_main(int, char**) {
    role_install(&server_role);
    using tftps_controls::IDC_STATUS_ICON;
    if (!win32_backend_install(server_window_table(),
                               {{tftps_controls::IDD_ACCESS_LISTS, access_dialog_table()}},
                               {{IDC_STATUS_ICON, ICON_ENABLED, icon_server_enabled},
                                {IDC_STATUS_ICON, ICON_DISABLED, icon_server_disabled}},
                               {server_command, server_window_close}))
        return 1;
    win32_backend_run(server_window_open);
    // Workers still running must not see the statics destroyed under them.
    process_end_now(0);
}
