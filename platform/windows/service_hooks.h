// Where Windows' service manager meets the rest of this layer: its stop request is taken as the
// console's Ctrl-C, and it learns the status the process ends with. For the Windows files of
// this layer.
#pragma once

// Asks the waiting thread to stop, as Ctrl-C does.
void signals_ask_stop();
// Tells the service manager that the service has stopped with status, when the process runs as
// a service; nothing otherwise.
void service_report_ended(int status);
